// The native build has no program resources to change.
#include "install/uninstaller.h"

bool SetProgramIcon(const std::string&, const IconResources&) { return false; }
bool ProgramHasIcon(const std::string&) { return false; }
