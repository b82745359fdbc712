// The system side of the uninstall run: special folders, the quick-launch folder, the Windows
// version, the registry deletions, the taskbar unpin and the program starter.
#include "environment/registry.h"
#include "environment/system.h"
#include "install/shortcuts.h"
#include "uninstall/uninstall_run.h"

namespace {

// Deletes the value the path names (its last part under the key before it; a path ending in a
// backslash names the key's default value); when there is no such value, the key the whole path
// names, if it has no subkeys. View "64" is the 64-bit view; any other the 32-bit view, which a
// 32-bit program sees anyway.
void RegistryDelete(int root, const std::string& path, const std::string& view) {
  const bool view64 = view == "64";
  const RegistryValuePath value = SplitValuePath(path);
  if (value.key.empty()) return;
  if (DeleteRegistryValue(root, value.key, value.name, view64)) return;
  DeleteRegistryKey(root, path, view64);
}

}  // namespace

UninstallSystem DefaultUninstallSystem() {
  UninstallSystem s;
  s.special_folder = SpecialFolder;
  s.quick_launch_folder = [] { return QuickLaunchFolder(); };
  s.windows_version = WindowsVersion;
  s.registry_delete = RegistryDelete;
  s.remove_empty_key = [](int root, const std::string& key, const std::string& view) {
    return DeleteEmptyRegistryKey(root, key, view == "64");
  };
  s.unpin = [](const std::string& folder, const std::string& file) { PinToTaskbar(folder, file, 0); };
  s.starter = &SystemProgramStarter();
  return s;
}
