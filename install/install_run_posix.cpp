// The steps of the install run on the native build: the archive library's code extracts in this
// process, and the system starter skips the Windows command lines.
#include "environment/system.h"
#include "install/install_run.h"
#include "package/extract.h"
#include "runtime/files.h"

InstallSteps DefaultInstallSteps() {
  InstallSteps steps;
  steps.extract = [](const std::string& archive, const std::string& folder,
                     const std::string& password,
                     const std::function<void(const std::string&, int)>& progress,
                     const std::string& include, const std::string& exclude) {
    return ExtractArchive(archive, folder, false, password, progress, include, exclude);
  };
  steps.restore_signature = RestoreArchiveSignature;
  steps.delete_file = [](const std::string& path) { DeleteFileAt(path); };
  steps.remove_folder = [](const std::string& folder) { RemoveFolderTree(folder); };
  // Shortcuts, registry entries and the uninstaller are wired in by their own modules.
  steps.write_batch = [](std::string_view command) { return WriteBatchCommand(command); };
  steps.starter = &SystemProgramStarter();
  steps.is_windows64 = IsWindows64;
  return steps;
}
