// The one clean-up of setup.exe. Whatever a run makes in the temporary folder (the configuration
// folder, the ".7zqev" copy of the data block, the joined volumes, a private folder of a library)
// is registered here as soon as it exists, and removed when the process ends, whichever way it
// ends: finish, quit, refusal, failure, no package, no window. The program's entry calls
// RemoveTemporaryPaths (through CloseRun, install/install_run.h) just before it ends the process;
// no other place ends the process.
//
// For other modules: call RegisterTemporaryPath(path) right after making a temporary file or
// folder; a folder is removed with everything in it. Something to do first (a library to unload
// before its folder can go) is registered with RegisterCleanupAction; actions and paths run in the
// reverse order of their registration, so an action registered after its folder runs before the
// folder is removed.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Registers a file or folder for removal at the end of the process. A path registered twice is
// removed once; an empty path is ignored. A folder may be given with or without its final
// backslash.
void RegisterTemporaryPath(const std::string& path);
// Takes a path off the list (it is to stay, or was removed already).
void ForgetTemporaryPath(const std::string& path);
// Registers a step to run at the end of the process, before the paths registered before it are
// removed.
void RegisterCleanupAction(std::function<void()> action);
// The registered paths, oldest first.
std::vector<std::string> TemporaryPaths();
// Runs the actions and removes the paths (files deleted, folders with all they hold), newest first,
// and empties the list. A path that is already gone is skipped.
void RemoveTemporaryPaths();
