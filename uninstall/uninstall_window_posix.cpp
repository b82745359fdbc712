// The native build has no window: an uninstall that needs one is not started.
#include "package/exit_codes.h"
#include "uninstall/uninstall_window.h"

unsigned RunUninstallWindow(UninstallRequest&, const UninstallerFiles&, const UninstallRecord&, int,
                            bool, const std::string&) {
  return kExitUninstallCancelled;
}
