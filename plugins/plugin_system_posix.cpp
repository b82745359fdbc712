// The native build loads no plug-in modules; the folder is an ordinary private folder.
#include "plugins/plugin_system.h"
#include "runtime/files.h"

bool ResetPrivateFolder(const std::string& folder) {
  RemoveFolderTree(folder);
  CreateOneFolder(folder);
  return FolderExists(folder);
}

uintptr_t LoadModuleAt(const std::string&) { return 0; }
uintptr_t ModuleExport(uintptr_t, const std::string&) { return 0; }
