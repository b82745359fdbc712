// The uninst program's whole run (Windows): returns the process's exit code.
#pragma once

// In the interactive start the launcher starts the uninstaller and ends with 0 at once; when the
// uninstaller runs in the background it waits and ends with the uninstaller's exit code.
int RunLauncher();
