// The native build has no shell: no link is written, nothing is pinned, and no folder is reported
// empty (so nothing is removed).
#include "install/shortcuts.h"

bool WriteShellLink(const std::string&, const ShellLinkFields&) { return false; }

void PinToTaskbar(const std::string&, const std::string&, int) {}

bool FolderIsEmpty(const std::string&) { return false; }
