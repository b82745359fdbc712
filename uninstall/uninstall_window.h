// The uninstall window (Windows).
#pragma once

#include <string>

#include "uninstall/uninstall_record.h"
#include "uninstall/uninstall_run.h"
#include "uninstall/uninstaller_role.h"

// Shows the uninstall window in `mode` (hidden when not `visible`), runs the uninstall when the
// user (or the mode) starts it, and returns the exit code once the window is finished.
unsigned RunUninstallWindow(UninstallRequest& request, const UninstallerFiles& files,
                            const UninstallRecord& record, int mode, bool visible,
                            const std::string& working_folder);

