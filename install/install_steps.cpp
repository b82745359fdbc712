// The real steps of the install run: the extraction front, the files, the shortcut and registry
// modules and the system program starter (natively, a starter that skips Windows command lines).
#include "environment/system.h"
#include "install/install_run.h"
#include "install/registry_entries.h"
#include "install/shortcuts.h"
#include "install/uninstaller.h"
#include "package/extract.h"
#include "runtime/files.h"

InstallSteps DefaultInstallSteps() {
  InstallSteps steps;
  steps.extract = [](const std::string& archive, const std::string& folder,
                     const std::string& password,
                     const std::function<void(const std::string&, int)>& progress,
                     const std::string& include, const std::string& exclude, std::string* why) {
    return ExtractArchive(archive, folder, false, password, progress, include, exclude, why);
  };
  steps.restore_signature = RestoreArchiveSignature;
  steps.delete_file = [](const std::string& path) { DeleteFileAt(path); };
  steps.remove_folder = [](const std::string& folder) { RemoveFolderTree(folder); };
  steps.create_shortcuts = CreateShortcuts;
  steps.write_registry = WriteRegistryEntries;
  steps.generate_uninstaller = GenerateUninstaller;
  steps.write_batch = [](std::string_view command) { return WriteBatchCommand(command); };
  steps.starter = &SystemProgramStarter();
  steps.is_windows64 = IsWindows64;
  return steps;
}
