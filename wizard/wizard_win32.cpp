// The wizard on Windows: the main window of the process, its set-up in installer mode, the page
// flow on the window's buttons, the close confirmation and the finish step.
#include <windows.h>

#include "environment/system.h"
#include "package/exit_codes.h"
#include "install/install_config.h"
#include "install/install_run.h"
#include "package/startup.h"
#include "install/program_starter.h"
#include "runtime/process.h"
#include "runtime/window_win32.h"
#include "wizard/main_window.h"
#include "wizard/plugin_hooks.h"
#include "wizard/wizard.h"

namespace {

MainWindow& TheWindow() {
  static MainWindow window;
  return window;
}

class WindowView : public WizardView {
 public:
  explicit WindowView(MainWindow& window) : window_(window) {}
  int CurrentPage() override { return window_.CurrentPage(); }
  void SelectPage(int page) override { window_.SelectPage(page); }
  void SetButtons(const ButtonStates& b) override {
    window_.SetButtons(b.back_visible, b.back_enabled, b.next_caption, b.next_enabled,
                       b.next_default);
  }
  bool LicenceTicked() override { return window_.LicenceTicked(); }
  bool StartInstall() override {
    TakePluginLists();
    return ::StartInstall(std::string(), false);
  }
  void Finish() override;
  bool PageChangeVetoed(int page, int direction) override {
    return PluginsKeepPage(page, direction);
  }
  void InstallationRan() override { TellPluginsInstallationRan(); }

 private:
  MainWindow& window_;
};

void WindowView::Finish() {
  const InstallConfig& config = CurrentInstallConfig();
  const std::string& install_dir = CurrentInstallRun().install_dir;
  const std::vector<std::string> commands =
      FinishCommands(config.finish_options, window_.FinishTicks(), install_dir, IsWindows64(),
                     [](std::string_view command) { return WriteBatchCommand(command); });
  ScriptContext context;
  context.tree = &CurrentComponentTree();
  context.lists = &CurrentScriptLists();
  context.install_dir = install_dir;
  context.starter = &SystemProgramStarter();
  RunFinishActions(commands, config.script_store, context);
  EndProcess(CurrentInstallRun().exit_code);
}

void GoTo(int page) {
  WindowView view(TheWindow());
  GoToPage(page, view, CurrentWizard().agree_preset);
}

void Move(int direction) {
  WindowView view(TheWindow());
  Navigate(direction, view, CurrentWizard().enabled_flags(), CurrentWizard().agree_preset);
}

// The close question; Yes ends the process, No keeps the window.
bool ConfirmQuit() {
  const InstallConfig& config = CurrentInstallConfig();
  MainWindow& window = TheWindow();
  const int answer = ShowMessageBox(window.handle(), QuitQuestion(config.product_name, config.version),
                                    window.Caption(), MB_YESNO | MB_ICONEXCLAMATION);
  if (answer == IDYES) {
    if (!PluginsKeepWizardOpen()) EndProcess(kExitUserQuit);
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

void OnComponentCheck(int position, bool checked) {
  ComponentTree& tree = CurrentComponentTree();
  if (PluginsTakeComponentCheck(position, checked)) {
    TheWindow().RefreshComponentTicks(tree);
    return;
  }
  ApplyComponentCheck(tree, position, checked);
  TheWindow().RefreshComponentTicks(tree);
}

// The four items the components page brings when the script store defines no tree.
void FillDefaultTree(ComponentTree& tree) {
  tree.Clear();
  for (const char* text : {"基本组件", "桌面快捷方式", "开始菜单组件", "快速启动栏"}) {
    tree.Add(text, -1, true);
  }
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
  window.SetHandlers(std::move(handlers));
  SetInstallWindow(&window);
  return true;
}

void SetUpWizard() {
  MainWindow& window = TheWindow();
  StartupState& startup = Startup();
  const InstallConfig& config = LoadInstallConfig(startup, SystemRegistryReader());
  window.SetCaption(WizardCaption(config.product_name));

  WizardState& wizard = CurrentWizard();
  InstallPageTable(BuildPageTable(config), wizard);
  wizard.agree_preset = config.agree_preset;
  if (config.agree_preset) window.SetWanted(control_names::kLicenceCheck, false);
  window.SetLicenceText(config.licence);
  SetUpPlugins(window);
  WritePhaseText(kPhasePluginsLoaded);

  SetControlText(window.Control(control_names::kPathBox), config.install_dir);

  ComponentTree& tree = CurrentComponentTree();
  if (!SetUpComponentTree(config.script_store, tree).added) {
    FillDefaultTree(tree);
    ApplyBasicChecks(config.basic_checks, tree);
  }
  window.ShowComponentTree(tree);
  window.ShowFinishOptions(config.finish_options,
                           FinishOptionTops(config.finish_options, config.finish_options_top));
  WritePhaseText(kPhaseComponentsFilled);

  switch (StartActionFor(config.install_mode)) {
    case StartAction::kDirectInstall:
      window.StartDirectTimer();
      break;
    case StartAction::kBackgroundInstall:
      window.SetVisible(false);
      TakePluginLists();
      StartInstall(std::string(), false);
      // Whatever the install did, no invisible process may stay behind.
      EndProcess(CurrentInstallRun().exit_code);
    case StartAction::kShowFirstPage:
      break;
  }
  window.SetWanted(control_names::kBack, false);
  ShowFirstPage(false);
}

void ShowWizardWithoutConfiguration() {
  InstallPageTable(BuildPageTable(InstallConfig()), CurrentWizard());
  ShowFirstPage(false);
}

int RunWizardMessageLoop() {
  HWND window = TheWindow().handle();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (window && IsWindow(window) && IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
