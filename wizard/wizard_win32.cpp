// The wizard on Windows: the main window of the process, its set-up in installer mode, the page
// flow on the window's buttons, the close confirmation and the finish step. The wizard never ends
// the process: it ends its message loop with a WizardEnd, and the entry ends the process.
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
#include "wizard/wizard.h"

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

// The install from the wizard: the folder of the path box (the path switch's when given).
bool RunInstallFromWizard(MainWindow& window) {
  InstallRequest request = RequestFromStartup(Startup(), window.PathBoxText());
  last_outcome = RunInstall(request, window);
  if (!last_outcome.started) return false;
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
  int CurrentPage() override { return window_.CurrentPage(); }
  void SelectPage(int page) override { window_.SelectPage(page); }
  void SetButtons(const ButtonStates& b) override {
    window_.SetButtons(b.back_visible, b.back_enabled, b.next_caption, b.next_enabled,
                       b.next_default);
  }
  bool LicenceTicked() override { return window_.LicenceTicked(); }
  bool StartInstall() override { return RunInstallFromWizard(window_); }
  void Finish() override;

 private:
  MainWindow& window_;
};

void WindowView::Finish() {
  const InstallConfig& config = CurrentInstallConfig();
  const std::string& install_dir = last_outcome.install_dir;
  const std::vector<std::string> commands =
      FinishCommands(config.finish_options, window_.FinishTicks(), install_dir, IsWindows64(),
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
  const int answer = ShowMessageBox(window.handle(), QuitQuestion(config.product_name, config.version),
                                    window.Caption(), MB_YESNO | MB_ICONEXCLAMATION);
  if (answer == IDYES) EndWizard(kExitUserQuit, kQuitReason);
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
  SetInstallObserver(&window);
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
  WritePhaseText(kPhasePluginsLoaded);

  SetControlText(window.Control(control_names::kPathBox), config.install_dir);

  ComponentTree& tree = CurrentComponentTree();
  PrepareComponentTree(config, tree);
  window.ShowComponentTree(tree);
  window.ShowFinishOptions(config.finish_options,
                           FinishOptionTops(config.finish_options, config.finish_options_top));
  WritePhaseText(kPhaseComponentsFilled);

  switch (StartActionFor(config.install_mode)) {
    case StartAction::kDirectInstall:
      window.StartDirectTimer();
      break;
    case StartAction::kBackgroundInstall:  // runs from the entry, without the wizard
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
