// The uninstaller role: unpacking the record, the mode, and the run with the window or silently.
#include "uninstall/uninstaller_role.h"

#include "environment/system.h"
#include "environment/variables.h"
#include "install/uninstaller.h"
#include "package/command_line.h"
#include "package/container.h"
#include "package/exit_codes.h"
#include "package/extract.h"
#include "package/open_package.h"
#include "package/startup.h"
#include "plugins/plugin_loader.h"
#include "plugins/plugin_texts.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "uninstall/uninstall_run.h"
#include "uninstall/uninstall_window.h"

std::string UninstallCommandText(const std::vector<std::string>& arguments) {
  std::string text;
  for (size_t i = 2; i < arguments.size(); ++i) text += arguments[i] + " ";
  return text;
}

int DecideUninstallMode(std::string_view command_text, const UninstallRecord& record) {
  const auto holds = [&](const std::string& switch_text) {
    return !switch_text.empty() && ContainsText(command_text, switch_text);
  };
  if (holds(record.switch_hidden) || record.uninstall_mode == kUninstallModeBackground) {
    return kUninstallBackground;
  }
  int mode = 0;
  if (holds(record.switch_hide_end)) mode += kUninstallFinishAtEnd;
  if (holds(record.switch_direct) || record.uninstall_mode == kUninstallModeDirect) {
    mode += kUninstallDirect;
  }
  return mode;
}

bool UninstallWindowVisible(std::string_view x_show, int mode) {
  if (!x_show.empty()) return x_show == "真";
  return mode != kUninstallBackground;
}

UninstallerFiles UnpackUninstaller(const std::string& install_dir, const std::string& working_folder,
                                   const std::string& temp_folder) {
  UninstallerFiles files;
  const std::string dat = install_dir + "\\" + std::string(kUninstallerDataFile);
  const auto group = [&](std::string_view name) {
    return FindBlockBackward(dat, std::string(name) + "B", std::string(name) + "A");
  };
  files.record = group(kUninstallIniGroup);
  const Bytes carried = group(kUninstallDataGroup);
  files.skin = group(kSkinGroup);
  WriteWholeFile(working_folder + "\\" + std::string(kUninstallerIniFile), files.record);
  WriteWholeFile(working_folder + "\\" + std::string(kUninstallerDataFile), carried);

  const UninstallRecord record = ReadUninstallRecord(files.record);
  // The data folder is named after the product; a name that is no folder name of its own would
  // make it the temporary folder itself, which the finish removes.
  if (!temp_folder.empty() && IsSafeFolderName(record.product_name)) {
    files.data_folder = temp_folder + record.product_name + "\\";
    CreateOneFolder(temp_folder + record.product_name);
    const std::vector<Bytes> pieces = SplitUninstallData(carried);
    for (size_t k = 0; k < pieces.size(); ++k) {
      WriteWholeFile(files.data_folder + kUninstallDataFiles[k], pieces[k]);
    }
  }
  return files;
}

std::string OwnWorkingFolder(const std::string& program_path, const std::string& temp_folder) {
  const std::string folder = FolderOfPath(program_path);
  const std::string root = temp_folder + "Uninstall\\";
  if (temp_folder.empty() || folder.size() <= root.size()) return std::string();
  if (!EqualsIgnoreAsciiCase(folder.substr(0, root.size()), root)) return std::string();
  return folder;
}

unsigned RunUninstallerRole(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return kExitUninstallDataMissing;
  const std::string temp = SpecialFolder(kFolderTemp);
  const std::string install_dir = arguments[0];
  const std::string working = arguments.size() > 1 ? NormalisePath(arguments[1]) : std::string();
  const UninstallerFiles files = UnpackUninstaller(install_dir, working, temp);
  const UninstallRecord record = ReadUninstallRecord(files.record);
  // The variable table of the install, from the carried files: the uninstaller's configuration
  // directory is the data folder, where the plug-ins find their settings expanded.
  if (!files.data_folder.empty()) BuildVariables(files.data_folder);

  std::string command_text = UninstallCommandText(arguments);
  UninstallRequest request;
  request.log_path = TakeLogSwitch(command_text);
  request.install_dir = install_dir;
  request.program_file_name = NameOfPath(OwnProgramPath());
  request.record = files.record;
  for (const UninstallOptionRecord& option : record.options) request.ticked.push_back(option.ticked);
  const int mode = DecideUninstallMode(command_text, record);
  // The plug-ins are asked before anything is removed and told when the removal has ended.
  request.cancel_removal = [] { return AnyAnswerIs(BroadcastMessage(UninstallMessage(1)), 1); };
  request.removal_ended = [] { BroadcastMessage(UninstallMessage(2)); };

  Bytes x_show;
  ReadWholeFile(temp + "x_show", x_show);
  DeleteFileAt(temp + "x_show");
  const bool visible = UninstallWindowVisible(x_show, mode);

  unsigned code;
  if (files.record.empty()) {
    code = kExitUninstallDataMissing;
  } else if (!visible && (mode & (kUninstallDirect | kUninstallBackground))) {
    UninstallObserver silent;
    if (!files.data_folder.empty()) LoadPlugins(kRunModeUninstaller, files.data_folder);
    code = RunUninstall(request, silent, DefaultUninstallSystem()).exit_code;
  } else {
    code = RunUninstallWindow(request, files, record, mode, visible, working);
  }

  // Finish: the data folder, then whatever of the working folder can go; the running copy itself
  // is taken away by a helper once this process has ended.
  if (!files.data_folder.empty()) RemoveFolderTree(files.data_folder);
  const std::string own_folder = OwnWorkingFolder(OwnProgramPath(), temp);
  // The archive library the program entry wrote: an uninstall extracts nothing.
  RemoveArchiveLibrary();
  if (!own_folder.empty()) {
    RemoveFolderTree(own_folder);
    if (FolderExists(own_folder)) RemoveFolderAfterExit(own_folder, temp + "Uninstall");
  }
  return code;
}
