// The wizard on Windows: the main window of the process, its set-up in installer mode, the page
// flow on the window's buttons, the close confirmation and the finish step. The wizard never ends
// the process: it ends its message loop with a WizardEnd, and the entry ends the process.
#include <windows.h>

#include <algorithm>

#include "environment/system.h"
#include "package/exit_codes.h"
#include "install/directory_checks.h"
#include "install/install_config.h"
#include "install/install_run.h"
#include "install/script_store.h"
#include "package/startup.h"
#include "install/program_starter.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/window_win32.h"
#include "wizard/components_page.h"
#include "wizard/directory_page.h"
#include "wizard/main_window.h"
#include "wizard/plugin_hooks.h"
#include "wizard/wizard.h"
#include "wizard/wizard_texts.h"

namespace {

MainWindow& TheWindow() {
  static MainWindow window;
  return window;
}

// The outcome of the last install run from the wizard, and the end decided.
InstallOutcome last_outcome;
bool end_decided = false;
WizardEnd decided_end;

// Ends the wizard: the message loop returns `end` to the entry.
void EndWizard(unsigned code, const std::string& why) {
  if (end_decided) return;
  end_decided = true;
  decided_end.exit_code = code;
  decided_end.why = why;
  PostQuitMessage(static_cast<int>(code));
}

// The tree on the components page is the page's own four items (no tree in the script store).
bool default_tree = false;

// The "ml" checks of a normalised folder, with their message box; true when it passes.
bool FolderPasses(const std::string& folder) {
  const InstallConfig& config = CurrentInstallConfig();
  const std::string refusal = InstallPathRefusal(folder, config.no_double_byte_path,
                                                 config.required_entry, PathExists);
  if (refusal.empty()) return true;
  ShowMessageBox(TheWindow().handle(), refusal, kDirectoryCheckTitle, MB_OK | MB_ICONERROR);
  return false;
}

// The install from the wizard into the folder of the path box. The path switch only filled the
// box at set-up: what the person typed there since wins.
bool RunInstallFromWizard(MainWindow& window, const std::string& password = std::string(),
                          bool password_given = false) {
  window.LetMessagesRun();
  TakePluginLists();
  InstallRequest request = RequestFromStartup(Startup(), window.PathBoxText());
  request.install_dir = window.PathBoxText();
  if (password_given) {
    request.password = password;
    request.password_given = true;
  }
  const std::string folder = NormalisePath(request.install_dir);
  // An empty folder gets the run's own message.
  if (!folder.empty() && !FolderPasses(folder)) return false;
  last_outcome = RunInstall(request, window);
  if (!last_outcome.started) return false;
  TellPluginsFinishReady();
  const StartupState& startup = Startup();
  // Without a finish page the wizard ends once the install has run.
  if (EndsAfterInstall(startup.install_mode, startup.show_finish_page)) {
    EndWizard(last_outcome.exit_code, last_outcome.failure);
  }
  return true;
}

class WindowView : public WizardView {
 public:
  explicit WindowView(MainWindow& window) : window_(window) {}
  // The install is started with this password (a plug-in's) instead of asking for one.
  WindowView(MainWindow& window, const std::string& password)
      : window_(window), password_(password), password_given_(true) {}
  int CurrentPage() override { return window_.CurrentPage(); }
  void SelectPage(int page) override { window_.SelectPage(page); }
  void SetButtons(const ButtonStates& b) override {
    window_.SetButtons(b.back_visible, b.back_enabled, b.next_caption, b.next_enabled,
                       b.next_default);
  }
  bool LicenceTicked() override { return window_.LicenceTicked(); }
  bool StartInstall() override { return RunInstallFromWizard(window_, password_, password_given_); }
  void Finish() override;
  bool PageChangeVetoed(int page, int direction) override {
    return PluginsKeepPage(page, direction);
  }
  void InstallationRan() override { TellPluginsInstallationRan(); }
  int LastWizardPage() override { return window_.LastWizardPage(); }

 private:
  MainWindow& window_;
  std::string password_;
  bool password_given_ = false;
};

void WindowView::Finish() {
  const InstallConfig& config = CurrentInstallConfig();
  const std::string& install_dir = last_outcome.install_dir;
  const std::vector<std::string> commands =
      FinishCommands(FinishOptionsToRun(), window_.FinishTicks(), install_dir, IsWindows64(),
                     [](std::string_view command) { return WriteBatchCommand(command); });
  ScriptContext context;
  context.tree = &CurrentComponentTree();
  context.lists = &CurrentScriptLists();
  context.install_dir = install_dir;
  context.starter = &SystemProgramStarter();
  RunFinishActions(commands, config.script_store, context);
  EndWizard(last_outcome.exit_code, last_outcome.failure);
}

void GoTo(int page) {
  WindowView view(TheWindow());
  GoToPage(page, view, CurrentWizard().agree_preset);
}

void Move(int direction) {
  WindowView view(TheWindow());
  Navigate(direction, view, CurrentWizard().enabled_flags(), CurrentWizard().agree_preset);
}

// The close question; Yes ends the wizard with the quit code, No keeps the window.
bool ConfirmQuit() {
  const InstallConfig& config = CurrentInstallConfig();
  MainWindow& window = TheWindow();
  // Once the install has run there is nothing left to quit: closing the finish page ends the
  // wizard as the install ended, without the finish options.
  if (window.CurrentPage() == kPageFinish && last_outcome.started) {
    EndWizard(last_outcome.exit_code, last_outcome.failure);
    return false;
  }
  const int answer = ShowMessageBox(window.handle(), QuitQuestion(config.product_name, config.version),
                                    window.Caption(), MB_YESNO | MB_ICONEXCLAMATION);
  if (answer == IDYES) {
    if (!PluginsKeepWizardOpen()) EndWizard(kExitUserQuit, kQuitReason);
  } else {
    TellPluginsQuitDeclined();
  }
  return false;
}

void OnLicenceCheck() {
  MainWindow& window = TheWindow();
  if (window.CurrentPage() != kPageLicence) return;
  EnableWindow(window.Control(control_names::kNext),
               CurrentWizard().agree_preset || window.LicenceTicked());
}

// The description box follows the selected item (and the item under the pointer).
void OnComponentChosen(int position) {
  const std::optional<std::string> text = ComponentDescription(
      CurrentInstallConfig().script_store, CurrentComponentTree(), position, default_tree);
  if (text && *text != TheWindow().Description()) TheWindow().SetDescription(*text);
}

// The pointer over the components page outside the tree: the box shows the hint again.
void OnPagePointed() {
  MainWindow& window = TheWindow();
  if (window.CurrentPage() != kPageComponents) return;
  const std::optional<std::string> hint = HintOnPagePointed(
      window.Description(), ControlText(window.Control(control_names::kComponentsHeading)));
  if (hint) window.SetDescription(*hint);
}

// The free-space line follows the drive of the path box.
void UpdateFreeSpace() {
  if (!Startup().show_space) return;
  MainWindow& window = TheWindow();
  const std::optional<uint64_t> free = FreeSpaceOfDrive(NormalisePath(window.PathBoxText()));
  SetControlText(window.Control(control_names::kFreeSpace),
                 free ? FreeSpaceText(*free) : std::string("可用空间: "));
}

// Browse: the chosen folder, checked, with the product's folder name appended when configured.
void BrowseClicked() {
  MainWindow& window = TheWindow();
  const InstallConfig& config = CurrentInstallConfig();
  std::string folder =
      BrowseForFolder(window.handle(), kBrowseTitle, NormalisePath(window.PathBoxText()));
  if (folder.empty()) return;
  folder = NormalisePath(folder);
  if (!FolderPasses(folder)) return;
  SetControlText(window.Control(control_names::kPathBox),
                 BrowsedPathText(folder, config.auto_append_folder, config.append_folder_name));
  UpdateFreeSpace();
}

void OnComponentCheck(int position, bool checked) {
  ComponentTree& tree = CurrentComponentTree();
  if (PluginsTakeComponentCheck(position, checked)) {
    TheWindow().RefreshComponentTicks(tree);
    return;
  }
  ApplyComponentCheck(tree, position, checked);
  TheWindow().RefreshComponentTicks(tree);
}

// Shows the first switched-on page and, unless `hidden`, the window as start-up wants it.
void ShowFirstPage(bool hidden) {
  WritePhaseText(kPhaseWizardShown);
  MainWindow& window = TheWindow();
  WizardState& wizard = CurrentWizard();
  const int first = FirstEnabledPage(wizard.enabled_flags());
  GoTo(first);
  window.SetWanted(control_names::kWelcomePanel, first == kPageWelcome);
  if (!hidden) window.SetVisible(Startup().window_visible != 0);
}

}  // namespace

bool StartInstallForPlugin(const std::string& password) {
  return RunInstallFromWizard(TheWindow(), password, true);
}

bool CreateWizardWindow() {
  InitWindowToolkit();
  MainWindow& window = TheWindow();
  if (!window.Create(std::string())) return false;
  MainWindow::Handlers handlers;
  handlers.next = [] { Move(+1); };
  handlers.back = [] { Move(-1); };
  handlers.cancel = [] { ConfirmQuit(); };
  handlers.close = [] { return ConfirmQuit(); };
  handlers.licence_check = OnLicenceCheck;
  handlers.direct_tick = [] { GoTo(kPageInstalling); };
  handlers.component_check = OnComponentCheck;
  // A plug-in's description callback hears of selections only, not of every pointer move.
  handlers.component_selected = [](int position) {
    OnComponentChosen(position);
    TellPluginsDescription(position, reinterpret_cast<uintptr_t>(
                                         TheWindow().Control(control_names::kDescription)));
  };
  handlers.component_pointed = OnComponentChosen;
  handlers.page_pointed = OnPagePointed;
  handlers.browse = BrowseClicked;
  handlers.path_changed = UpdateFreeSpace;
  window.SetHandlers(std::move(handlers));
  SetInstallObserver(&window);
  return true;
}

void SetUpWizard() {
  MainWindow& window = TheWindow();
  StartupState& startup = Startup();
  const InstallConfig& config = LoadInstallConfig(startup, SystemRegistryReader());
  window.ShowPictures(config);
  const WizardTexts texts = ConfiguredTexts(config, GuiTextFile(startup));

  WizardState& wizard = CurrentWizard();
  InstallPageTable(BuildPageTable(config), wizard);
  wizard.agree_preset = config.agree_preset;
  if (config.agree_preset) window.SetWanted(control_names::kLicenceCheck, false);
  SetUpPlugins(window);
  WritePhaseText(kPhasePluginsLoaded);
  window.ApplyTexts(texts);
  window.SetLicenceText(config.licence);

  SetControlText(window.Control(control_names::kPathBox), config.install_dir);
  if (startup.show_space) {
    window.ShowSpacePanel(RequiredSpaceText(static_cast<uint64_t>(std::max<int64_t>(0, startup.unpacked_size))),
                          std::string());
    UpdateFreeSpace();
  }

  ComponentTree& tree = CurrentComponentTree();
  ComponentTree scratch;
  const TreeSetup from_store = SetUpComponentTree(config.script_store, scratch);
  default_tree = !from_store.added;
  PrepareComponentTree(config, tree);
  if (from_store.geometry) {
    const TreeGeometry& g = *from_store.geometry;
    window.PlaceTree(g.left, g.top, g.width, g.height);
  }
  window.ShowComponentTree(tree);
  window.ShowFinishOptions(config.finish_options,
                           FinishOptionTops(config.finish_options, config.finish_options_top));
  WritePhaseText(kPhaseComponentsFilled);

  // An install a plug-in asked for while it was loaded takes the place of the direct mode's own.
  const bool plugin_installs = PluginInstallPending();
  switch (StartActionFor(config.install_mode)) {
    case StartAction::kDirectInstall:
      if (!plugin_installs) window.StartDirectTimer();
      break;
    case StartAction::kBackgroundInstall:  // runs from the entry, without the wizard
    case StartAction::kShowFirstPage:
      break;
  }
  window.SetWanted(control_names::kBack, false);
  ShowFirstPage(false);
  // It enters the installing page as Next would, with the plug-in's password, and the finish page
  // follows once it has run.
  RunPendingPluginInstall([&window](const std::string& password) {
    WindowView view(window, password);
    const bool agree_preset = CurrentWizard().agree_preset;
    GoToPage(kPageInstalling, view, agree_preset);
    // Refused (a wrong password, a refused folder): no Next was pressed, so the page shown keeps
    // its own buttons rather than an Install button that would not install.
    if (!last_outcome.started) {
      view.SetButtons(PageButtons(window.CurrentPage(), agree_preset || window.LicenceTicked()));
    }
  });
}

Bytes GuiTextFile(const StartupState& startup) {
  Bytes file;
  if (startup.config_dir.empty() || !ReadWholeFile(startup.config_dir + "GUItext.ini", file)) {
    file.clear();
  }
  return file;
}

void ShowWizardWithoutConfiguration() {
  InstallPageTable(BuildPageTable(InstallConfig()), CurrentWizard());
  ShowFirstPage(false);
}

WizardEnd RunWizardMessageLoop() {
  HWND window = TheWindow().handle();
  MSG msg;
  while (!end_decided && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (window && IsWindow(window) && IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (end_decided) return decided_end;
  return DefaultWizardEnd(Startup().run_mode == kRunModeInstaller, last_outcome.started,
                          last_outcome.exit_code, last_outcome.failure);
}
