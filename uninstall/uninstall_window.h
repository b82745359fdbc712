// The uninstall window (Windows) and the helper that takes the running copy away after the end.
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

// A running program cannot delete its own file: a hidden command shell removes `folder` once
// nothing in it runs any more (retrying for half a minute), then `parent` when it is empty.
void RemoveFolderAfterExit(const std::string& folder, const std::string& parent);
