// The wizard's plug-in points on Windows: the installer's request entry (codes 1001-1023, 8888),
// the request event of the label "备用_主标题" (codes 1000-1014), and the notifications. A
// background install has no wizard window: the same entries then live in a hidden window of their
// own, and what needs the wizard's window answers as if there were none.
#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <functional>
#include <vector>

#include "environment/system.h"
#include "install/component_tree.h"
#include "install/install_config.h"
#include "install/install_run.h"
#include "install/script_interpreter.h"
#include "package/extract.h"
#include "package/startup.h"
#include "plugins/plugin_call.h"
#include "plugins/plugin_loader.h"
#include "plugins/plugin_requests.h"
#include "plugins/plugin_texts.h"
#include "plugins/qev_plugin.h"
#include "plugins/request_window.h"
#include "runtime/text.h"
#include "runtime/wide_win32.h"
#include "runtime/window_win32.h"
#include "wizard/main_window.h"
#include "wizard/plugin_hooks.h"
#include "wizard/wizard.h"

namespace {

namespace abi = plugin_abi;

// Each page's picture box and panel, by page index.
const char* const kPagePictures[kPageCount] = {"欢迎_图片框", "协议_图片框", "组件_图片框",
                                               "目录_图片框", "安装_小图片框", "完成_图片框"};
const char* const kPagePanels[kPageCount] = {"欢迎_外形框", "协议_外形框", "组件_外形框",
                                             "目录_外形框", "安装_外形框", "完成_外形框"};
const char* const kSpareHeading = "备用_主标题";
const char* const kWizardLabelText = "备用的传递消息";

struct PluginPoints {
  MainWindow* window = nullptr;  // null in a background install
  HWND host = nullptr;           // the hidden window of a background install
  std::string install_dir;       // the install folder of a background install
  std::function<bool(const std::string&)> run_install;  // request 1009
  bool installing = false;
  // While the wizard is set up (the plug-ins are loaded before the tree is filled and the folder
  // put in the path box), an install a plug-in asks for waits until the set-up is done.
  bool setting_up = false;
  bool install_pending = false;
  std::string pending_password;
  std::vector<uintptr_t> install_hooks;  // 1009: [0] progress, [1] log lines
  std::deque<std::string> texts;         // texts handed out by address
  SharedText exclude, include, switches, path, folder;
  std::string exclude_given, include_given, switches_given, path_given;
  bool lists_given = false, texts_given = false;
  abi::VariableArray variables{1, 3, {}};
  abi::VariableArray* variables_cell = &variables;
  // The finish options handed out (request 1005): the variable, the block and records it starts
  // with, and the options the finish page shows since it last followed them.
  bool finish_given = false;
  std::vector<abi::FinishOptionRecord> finish_records;
  abi::FinishOptionArray* finish_cell = nullptr;
  std::vector<unsigned char> finish_memory;
  std::vector<FinishOption> finish_shown;
  abi::PageHandleRecord handles{};
};

PluginPoints& Points() {
  static PluginPoints points;
  return points;
}

const char* Text(PluginValue address) {
  const char* text = reinterpret_cast<const char*>(address);
  return text ? text : "";
}

PluginValue Address(const void* p) { return reinterpret_cast<PluginValue>(p); }

// A text of setup's own that stays valid until the process ends.
PluginValue Keep(std::string text) {
  Points().texts.push_back(std::move(text));
  return Address(Points().texts.back().c_str());
}

HWND Handle(const std::string& name) {
  return Points().window ? Points().window->Control(name) : nullptr;
}

// The install folder: the wizard's path box, or the folder a background install goes to.
std::string InstallPathText() {
  PluginPoints& p = Points();
  return p.window ? p.window->PathBoxText() : p.install_dir;
}

void SetInstallPathText(const std::string& path) {
  PluginPoints& p = Points();
  if (p.window) {
    SetControlText(Handle(control_names::kPathBox), path);
  } else {
    p.install_dir = path;
  }
}

PluginValue HandleValue(HWND window) { return Address(window); }

// The finish options as an array block: 1, K and K addresses of records, with the ticks the
// finish page shows now.
PluginValue FinishOptionsVariable() {
  PluginPoints& p = Points();
  if (!p.finish_given) {
    // The records point at the configuration's texts, which live as long as the process.
    const std::vector<FinishOption>& options = CurrentInstallConfig().finish_options;
    p.finish_shown = options;
    if (p.window) {
      const std::vector<bool> ticks = p.window->FinishTicks();
      for (size_t k = 0; k < ticks.size() && k < options.size(); ++k) {
        p.finish_shown[k].ticked = ticks[k];
      }
    }
    p.finish_records.reserve(options.size());
    for (size_t k = 0; k < options.size(); ++k) {
      const FinishOption& o = options[k];
      p.finish_records.push_back({o.title.c_str(), o.command.c_str(), o.visible ? 1 : 0,
                                  p.finish_shown[k].ticked ? 1 : 0});
    }
    const size_t size = offsetof(abi::FinishOptionArray, options) +
                        sizeof(abi::FinishOptionRecord*) * (options.empty() ? 1 : options.size());
    p.finish_memory.assign(size, 0);
    auto* block = reinterpret_cast<abi::FinishOptionArray*>(p.finish_memory.data());
    block->dimensions = 1;
    block->count = static_cast<int32_t>(options.size());
    for (size_t i = 0; i < options.size(); ++i) block->options[i] = &p.finish_records[i];
    p.finish_cell = block;
    p.finish_given = true;
  }
  return Address(&p.finish_cell);
}

// The options as the plug-ins' list holds them now: ticks, commands, titles and visibility they
// changed, or a list of their own put into the variable.
std::vector<FinishOption> ListedFinishOptions() {
  // A count no list of finish options comes near: a plug-in's stray value is not followed.
  constexpr int32_t kMostOptions = 256;
  std::vector<FinishOption> options;
  const abi::FinishOptionArray* block = Points().finish_cell;
  if (!block) return options;
  for (int32_t k = 0; k < block->count && k < kMostOptions; ++k) {
    const abi::FinishOptionRecord* r = block->options[k];
    if (r) options.push_back({Text(Address(r->title)), Text(Address(r->command)), r->visible != 0,
                              r->ticked != 0});
  }
  return options;
}

bool SameBoxes(const std::vector<FinishOption>& a, const std::vector<FinishOption>& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (a[k].title != b[k].title || a[k].visible != b[k].visible) return false;
  }
  return true;
}

// The finish page follows what plug-ins changed in the list: the ticks, or new boxes when the
// titles, visibility or count changed.
void ShowListedFinishOptions() {
  PluginPoints& p = Points();
  if (!p.finish_given || !p.window) return;
  std::vector<FinishOption> options = ListedFinishOptions();
  if (SameBoxes(options, p.finish_shown)) {
    std::vector<bool> ticks;
    for (const FinishOption& o : options) ticks.push_back(o.ticked);
    p.window->SetFinishTicks(ticks);
  } else {
    p.window->ShowFinishOptions(options,
                                FinishOptionTops(options, CurrentInstallConfig().finish_options_top));
  }
  p.finish_shown = std::move(options);
}

// Every notification, then what it may have changed in the finish options.
std::vector<int32_t> Broadcast(const std::string& message) {
  std::vector<int32_t> answers = BroadcastMessage(message);
  ShowListedFinishOptions();
  return answers;
}

void __stdcall RebuildComponentTree() {
  ComponentTree& tree = CurrentComponentTree();
  SetUpComponentTree(CurrentInstallConfig().script_store, tree);
  if (Points().window) Points().window->ShowComponentTree(tree);
}

// The texts plug-ins may read and replace through their variables, set from the current values.
void HandOutLists() {
  PluginPoints& p = Points();
  const ScriptLists& lists = CurrentScriptLists();
  p.exclude_given = lists.exclude;
  p.include_given = lists.include;
  p.exclude.Set(p.exclude_given);
  p.include.Set(p.include_given);
  p.lists_given = true;
}

void HandOutTexts() {
  PluginPoints& p = Points();
  p.switches_given = CurrentInstallRun().shortcut_switch_text;
  p.path_given = InstallPathText();
  p.switches.Set(p.switches_given);
  p.path.Set(p.path_given);
  p.folder.Set(CurrentInstallConfig().append_folder_name);
  p.variables.variables[0] = p.switches.Variable();
  p.variables.variables[1] = p.path.Variable();
  p.variables.variables[2] = p.folder.Variable();
  p.texts_given = true;
}

PluginValue QEV_CALL InstallRequestHandler(PluginValue code, PluginValue param, PluginValue value) {
  MainWindow* window = Points().window;
  StartupState& startup = Startup();
  InstallRunState& run = CurrentInstallRun();
  ScriptLists& lists = CurrentScriptLists();
  switch (code) {
    case QEV_REQ_PAGE_PICTURE:
      return param >= 0 && param < kPageCount ? HandleValue(Handle(kPagePictures[param])) : 0;
    case QEV_REQ_BUTTON:
      if (param == QEV_BUTTON_BACK) return HandleValue(Handle(control_names::kBack));
      if (param == QEV_BUTTON_NEXT) return HandleValue(Handle(control_names::kNext));
      if (param == QEV_BUTTON_CANCEL) return HandleValue(Handle(control_names::kCancel));
      return 0;
    case QEV_REQ_DRAG_ANYWHERE:
      if (window) window->handlers().drag_anywhere = param == 1;
      return 0;
    case QEV_REQ_WINDOW_VISIBLE:
      startup.window_visible = param == 1 ? 1 : 0;
      return 0;
    case QEV_REQ_FINISH_OPTIONS:
      return FinishOptionsVariable();
    case QEV_REQ_INSTALL_PATH: {
      std::string path = InstallPathText();
      return path.empty() ? 0 : Keep(std::move(path));
    }
    case QEV_REQ_REQUIRED_SIZE:
      if (param == 1) return startup.show_space && startup.unpacked_size > 0 ? 1 : 0;
      if (param == 2) return Keep(SizeText(static_cast<uint64_t>(startup.unpacked_size)));
      return 0;
    case QEV_REQ_START_MENU_NAME:
      run.start_menu_name = Text(param);
      return 0;
    case QEV_REQ_TREE_REBUILD:
      return Address(reinterpret_cast<void*>(RebuildComponentTree));
    case QEV_REQ_SCRIPT_STORE:
      return Address(CurrentInstallConfig().script_store.c_str());
    case QEV_REQ_SET_SCRIPT_STORE:
      CurrentInstallConfig().script_store = Text(param);
      return 0;
    case QEV_REQ_EXTRACT: {
      if (IsTestRun(startup.arguments)) return 0;
      const ExtractRequest request = ParseExtractRequest(Text(param));
      const std::string archive =
          run.alternative_archive.empty() ? startup.data_source : run.alternative_archive;
      RestoreArchiveSignature(archive, 19);
      ExtractArchive(archive, request.folder, false, request.password, nullptr, request.members);
      return 0;
    }
    case QEV_REQ_EXCLUDE:
      lists.exclude = AppendToList(lists.exclude, Text(param));
      return 0;
    case QEV_REQ_INCLUDE:
      lists.include = AppendToList(lists.include, Text(param));
      return 0;
    case QEV_REQ_ARCHIVE:
      run.alternative_archive = Text(param);
      return 0;
    case QEV_REQ_CALLBACK:
      if (param == QEV_CALLBACK_DESCRIPTION) CurrentWizard().description_callback = value;
      if (param == QEV_CALLBACK_COMPONENT_CHECK) CurrentWizard().check_callback = value;
      return 0;
    default:
      return 0;
  }
}

// A header like the spare one with the plug-in's texts, on the page shown now; "NO" for both texts
// leaves only its panel.
PluginValue AddHeader(const std::string& text) {
  const std::vector<std::string> fields = RequestFields(text);
  const std::string heading = fields.size() > 0 ? fields[0] : std::string();
  const std::string subtitle = fields.size() > 1 ? fields[1] : std::string();
  const bool texts_shown = !(heading == "NO" && subtitle == "NO");
  return HandleValue(Points().window->AddHeaderCopy(heading, subtitle, texts_shown));
}

PluginValue WizardRequest(PluginValue code, PluginValue param) {
  PluginPoints& p = Points();
  MainWindow* window = p.window;
  WizardState& wizard = CurrentWizard();
  HWND tab = Handle(control_names::kTab);
  switch (code) {
    case QEV_WIZ_ADD_HEADER:
      return window ? AddHeader(Text(param)) : 0;
    case QEV_WIZ_PAGE_TABLE:
      return Address(wizard.page_table.data());
    case QEV_WIZ_PAGE_FLAGS:
      if (!wizard.flags_variable) wizard.flags_variable = wizard.flag_block.data();
      return Address(&wizard.flags_variable);
    case QEV_WIZ_PAGE_COUNT:
      return tab ? SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0) : 0;
    case QEV_WIZ_INSERT_PAGE: {
      if (!tab) return -1;
      std::wstring title = ToWide("我爱墨桐");
      TCITEMW item = {};
      item.mask = TCIF_TEXT;
      item.pszText = title.data();
      // The wizard's own pages keep their indices, which the notifications, the page flags and
      // every plug-in use: a page asked for among them goes right after them.
      const PluginValue position = param < kPageCount ? kPageCount : param;
      wizard.inserting_page = 1;
      const LRESULT index = SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(position),
                                         reinterpret_cast<LPARAM>(&item));
      wizard.inserting_page = 0;
      return index;
    }
    case QEV_WIZ_PAGE_HANDLES: {
      abi::PageHandleRecord& record = p.handles;
      record = {};
      for (int i = 0; i < kPageCount; ++i) {
        record.pages[i].panel = Handle(kPagePanels[i]);
        int n = 0;
        if (!window) continue;
        for (HWND child : window->PageControls(i)) {
          if (n == QEV_PAGE_CHILDREN_MAX) break;
          if (child != record.pages[i].panel) record.pages[i].children[n++] = child;
        }
        record.pages[i].child_count = n;
      }
      record.config_folder = reinterpret_cast<const char*>(Keep(Startup().config_dir));
      return Address(&record);
    }
    case QEV_WIZ_PAGE_CALLBACK:
      wizard.page_callback = static_cast<uintptr_t>(param);
      return param;
    case QEV_WIZ_CURRENT_PAGE:
      // A background install stands on the installing page from the start.
      return window ? window->CurrentPage() : kPageInstalling;
    case QEV_WIZ_SELECT_PAGE: {
      if (!window) return 0;
      const int from = window->LastWizardPage();
      window->SelectPage(static_cast<int>(param));
      // A page of a plug-in gets the buttons of its place in the flow.
      if (param >= kPageCount && window->CurrentPage() == param) {
        const ButtonStates b = InsertedPageButtons(wizard.enabled_flags(), from);
        window->SetButtons(b.back_visible, b.back_enabled, b.next_caption, b.next_enabled,
                           b.next_default);
      }
      return 0;
    }
    case QEV_WIZ_START_INSTALL: {
      const StartInstallRequest request = ParseStartInstallRequest(Text(param));
      p.install_hooks.push_back(request.progress_hook);
      p.install_hooks.push_back(request.log_hook);
      if (request.stay) CurrentInstallRun().stay_on_page = true;
      // An install never starts inside another (a hook asking again while files are written).
      if (p.installing || !p.run_install) return -1;
      if (p.setting_up) {
        if (p.install_pending) return -1;
        p.install_pending = true;
        p.pending_password = request.password;
        return 0;
      }
      p.installing = true;
      const bool ran = p.run_install(request.password);
      p.installing = false;
      return ran ? 0 : -1;
    }
    case QEV_WIZ_SET_INSTALL_PATH:
      SetInstallPathText(Text(param));
      return 0;
    case QEV_WIZ_INSTALL_PATH: {
      if (!param) return 0;
      HandOutTexts();
      *reinterpret_cast<const char**>(param) = *p.path.Variable();
      return 0;
    }
    case QEV_WIZ_LIST_VARIABLES: {
      const std::vector<std::string> fields = RequestFields(Text(param));
      HandOutLists();
      const PluginValue a = fields.size() > 0 ? static_cast<PluginValue>(TextToInt(fields[0])) : 0;
      const PluginValue b = fields.size() > 1 ? static_cast<PluginValue>(TextToInt(fields[1])) : 0;
      if (a) *reinterpret_cast<const char***>(a) = p.exclude.Variable();
      if (b) *reinterpret_cast<const char***>(b) = p.include.Variable();
      return 0;
    }
    case QEV_WIZ_TEXT_VARIABLES:
      HandOutTexts();
      return Address(&p.variables_cell);
    default:
      return 0;
  }
}

bool AnyVeto(const std::string& message) { return AnyAnswerIs(Broadcast(message), QEV_VETO); }

// The request entry and the request event under `parent`; the label is the wizard's own when
// there is one.
void PublishRequests(HWND parent, HWND label) {
  CreateRequestWindow(reinterpret_cast<uintptr_t>(parent), kInstallEntryPrefix,
                      reinterpret_cast<uintptr_t>(reinterpret_cast<void*>(InstallRequestHandler)));
  if (!label) {
    label = CreateWindowExW(0, L"Static", ToWide(kWizardLabelText).c_str(), WS_CHILD, -999, -999,
                            0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  RouteWizardRequests(reinterpret_cast<uintptr_t>(label), WizardRequest);
}

}  // namespace

void SetUpPlugins(MainWindow& window) {
  PluginPoints& p = Points();
  p.window = &window;
  p.run_install = StartInstallForPlugin;
  p.setting_up = true;
  PublishRequests(window.handle(), window.Control(kSpareHeading));
  MainWindow::Handlers& h = window.handlers();
  h.page_shown = TellPluginsPageShown;
  h.placement = TellPluginsPlacement;
  h.progress = TellPluginsProgress;
  h.log_line = TellPluginsLogLine;
  h.finish_tick = TellPluginsFinishTick;
  LoadPlugins(kRunModeInstaller, Startup().config_dir);
}

bool SetUpBackgroundPlugins(const std::string& caption, const std::string& install_dir,
                            std::function<bool(const std::string& password)> run_install) {
  PluginPoints& p = Points();
  p.install_dir = install_dir;
  p.run_install = std::move(run_install);
  // Without plug-ins nobody calls back: no window is made.
  if (!CarriesPlugins(Startup().config_dir)) return false;
  p.host = reinterpret_cast<HWND>(CreateHiddenRequestHost(caption));
  if (p.host) PublishRequests(p.host, nullptr);
  LoadPlugins(kRunModeInstaller, Startup().config_dir);
  return p.host != nullptr;
}

std::string PluginInstallDir() { return InstallPathText(); }

bool PluginInstallPending() { return Points().install_pending; }

void RunPendingPluginInstall(const std::function<void(const std::string& password)>& install) {
  PluginPoints& p = Points();
  p.setting_up = false;
  if (!p.install_pending) return;
  p.install_pending = false;
  p.installing = true;
  install(p.pending_password);
  p.installing = false;
}

bool PluginsKeepPage(int page, int direction) { return AnyVeto(PageChangeMessage(page, direction)); }

void TellPluginsInstallationRan() { Broadcast(PageChangeMessage(kPageInstalling, 1)); }

bool PluginsKeepWizardOpen() { return AnyVeto(QuitMessage(true)); }

void TellPluginsQuitDeclined() { Broadcast(QuitMessage(false)); }

void TellPluginsPageShown(int page) {
  const WizardState& wizard = CurrentWizard();
  if (wizard.inserting_page) return;
  Broadcast(PageShownMessage(page));
  const PluginValue index = page;
  if (wizard.page_callback) {
    CallPluginProc(wizard.page_callback, &index, 1);
    ShowListedFinishOptions();
  }
}

void TellPluginsPlacement(int state) { Broadcast(PlacementMessage(state)); }

void TellPluginsFinishReady() { Broadcast(FinishReadyMessage()); }

void TellPluginsProgress(int percent) {
  const std::vector<uintptr_t>& hooks = Points().install_hooks;
  const PluginValue value = percent;
  if (!hooks.empty() && hooks[0]) CallPluginProc(hooks[0], &value, 1);
}

void TellPluginsLogLine(const std::string& line) {
  const std::vector<uintptr_t>& hooks = Points().install_hooks;
  const PluginValue text = Address(line.c_str());
  if (hooks.size() > 1 && hooks[1]) CallPluginProc(hooks[1], &text, 1);
}

bool PluginsTakeComponentCheck(int position, bool checked) {
  const uintptr_t callback = CurrentWizard().check_callback;
  if (!callback) return false;
  const PluginValue args[2] = {position, checked ? 1 : 0};
  return CallPluginProc(callback, args, 2) == 1;
}

void TellPluginsDescription(int position, uintptr_t description_box) {
  const uintptr_t callback = CurrentWizard().description_callback;
  if (!callback) return;
  const PluginValue args[2] = {position, static_cast<PluginValue>(description_box)};
  CallPluginProc(callback, args, 2);
}

void TakePluginLists() {
  PluginPoints& p = Points();
  if (p.lists_given) {
    ScriptLists& lists = CurrentScriptLists();
    if (p.exclude.Get() != p.exclude_given) lists.exclude = p.exclude.Get();
    if (p.include.Get() != p.include_given) lists.include = p.include.Get();
  }
  if (p.texts_given) {
    if (p.switches.Get() != p.switches_given)
      CurrentInstallRun().shortcut_switch_text = p.switches.Get();
    if (p.path.Get() != p.path_given) SetInstallPathText(p.path.Get());
  }
}

void TellPluginsFinishTick(int option, bool ticked) {
  PluginPoints& p = Points();
  if (!p.finish_given || option < 0) return;
  abi::FinishOptionArray* block = p.finish_cell;
  if (block && option < block->count && block->options[option]) {
    block->options[option]->ticked = ticked ? 1 : 0;
  }
  if (static_cast<size_t>(option) < p.finish_shown.size()) p.finish_shown[option].ticked = ticked;
}

std::vector<FinishOption> FinishOptionsToRun() {
  if (!Points().finish_given) return CurrentInstallConfig().finish_options;
  ShowListedFinishOptions();
  return Points().finish_shown;
}
