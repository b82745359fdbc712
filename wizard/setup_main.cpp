// Entry of setup.exe: the archive library is written, the main window made (hidden), the package
// opened, and the run mode decides what the window becomes; then the message loop runs.
#include <windows.h>

#include "package/exit_codes.h"
#include "package/open_package.h"
#include "package/program_entry.h"
#include "package/startup.h"
#include "runtime/process.h"
#include "uninstall/uninstaller_role.h"
#include "wizard/wizard.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  PrepareProgramEntry();
  const bool have_window = CreateWizardWindow();
  const int run_mode = PrepareStartup(DefaultPackageHooks());
  // Without a window nothing could be shown or ended by the user.
  if (!have_window) EndProcess(kExitSuccess);
  // The uninstaller role takes over with no argument (and ends at once) or several.
  if (run_mode == kRunModeUninstaller && Startup().arguments.empty()) EndProcess(kExitSuccess);
  if (run_mode == kRunModeUninstaller && Startup().arguments.size() > 1) {
    EndProcess(RunUninstallerRole(Startup().arguments));
  }
  if (run_mode == kRunModeInstaller) {
    SetUpWizard();
  } else {
    ShowWizardWithoutConfiguration();
  }
  RunWizardMessageLoop();
  EndProcess(run_mode == kRunModeInstaller ? kExitSuccess : kExitNoPackage);
}
