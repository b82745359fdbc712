// Entry of setup.exe, and the only place that ends its process: the archive library is written,
// the package opened (the /LOG switch first, the run mode, the background decision, the data
// source), then either a background install runs without any window or the wizard runs its
// message loop. Every end goes through EndSetup: the result line in the log, the clean-up of the
// temporary files, the exit code.
#include <windows.h>

#include "install/install_config.h"
#include "install/install_run.h"
#include "package/exit_codes.h"
#include "package/open_package.h"
#include "package/program_entry.h"
#include "package/startup.h"
#include "runtime/process.h"
#include "uninstall/uninstaller_role.h"
#include "wizard/wizard.h"

namespace {

[[noreturn]] void EndSetup(unsigned code, const std::string& why) {
  CloseRun(code, why, Startup().log_path);
  EndProcess(code);
}

// A fault no step handled ends the process with its own code and a log line, never with a code a
// script would take for success, and without the system's crash box that would wait for a person.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* fault) {
  char why[96];
  wsprintfA(why, "%s (0x%08lX)", kCrashedReason,
            fault && fault->ExceptionRecord ? fault->ExceptionRecord->ExceptionCode : 0UL);
  EndSetup(kExitCrashed, why);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndOnFault);
  PrepareProgramEntry();
  const int run_mode = PrepareStartup(DefaultPackageHooks());
  const StartupState& startup = Startup();
  // Start-up itself could not go on (a missing volume): its code and reason.
  if (startup.stop_code != kExitSuccess) EndSetup(startup.stop_code, startup.stop_reason);
  // The uninstaller role takes over with no argument (and ends at once) or several; it keeps its
  // own log.
  if (run_mode == kRunModeUninstaller && startup.arguments.empty()) EndSetup(kExitSuccess, "");
  if (run_mode == kRunModeUninstaller && startup.arguments.size() > 1) {
    EndSetup(RunUninstallerRole(startup.arguments), "");
  }
  const bool background = startup.install_mode == kInstallModeBackground;
  if (background && run_mode == kRunModeNone) EndSetup(kExitNoPackage, kNoPackageReason);
  if (background && run_mode == kRunModeInstaller) {
    const InstallOutcome outcome = RunBackgroundInstall();
    EndSetup(outcome.exit_code, outcome.failure);
  }
  if (!CreateWizardWindow()) {
    if (run_mode != kRunModeInstaller) EndSetup(kExitNoPackage, kNoPackageReason);
    EndSetup(kExitNoWindow, kNoWindowReason);
  }
  if (run_mode == kRunModeInstaller) {
    SetUpWizard();
  } else {
    ShowWizardWithoutConfiguration();
  }
  const WizardEnd end = RunWizardMessageLoop();
  EndSetup(end.exit_code, end.why);
}
