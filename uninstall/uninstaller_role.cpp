// The uninstaller role: unpacking the record, the mode, and the run with the window or silently.
#include "uninstall/uninstaller_role.h"

#include <memory>
#include <optional>

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
#include "plugins/request_window.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "uninstall/uninstall_requests.h"
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

namespace {

// A silent uninstall (background, or started at once with its window hidden): nobody sees a
// window, yet the plug-ins reach the uninstaller through a hidden one, as in a background install.
// They may keep paths (2002), set the option ticks (2004), read the UninstallInfo (2001, without a
// window handle) and run the uninstall themselves (2010); there is no window to show (2003).
class SilentUninstall : public UninstallRequestTarget {
 public:
  explicit SilentUninstall(UninstallRequest& request) : request_(request) {}

  uintptr_t InfoAddress() override { return info.Address(); }
  void KeepPaths(const std::string& text) override { request_.remove_dump = SplitText(text, ","); }
  void ShowWindowFor(bool) override {}
  void SetCheckStates(const std::string& text) override { request_.check_state_text = text; }
  void RunWithLog(uintptr_t callback) override { Run(callback); }

  // One run per process, never one inside another (a log callback asking again): the plug-in's,
  // or else the one the uninstaller starts once the plug-ins are loaded.
  void Run(uintptr_t callback) {
    if (running_ || outcome) return;
    running_ = true;
    request_.log_callback = PluginLogCallback(callback);
    UninstallObserver silent;
    outcome = RunUninstall(request_, silent, DefaultUninstallSystem());
    running_ = false;
  }

  UninstallInfoRecord info;
  std::optional<UninstallOutcome> outcome;

 private:
  UninstallRequest& request_;
  bool running_ = false;
};

unsigned RunSilentUninstall(UninstallRequest& request, const UninstallerFiles& files,
                            const UninstallRecord& record) {
  // Plug-ins keep the addresses they were given until the process ends.
  static std::unique_ptr<SilentUninstall> silent;
  silent = std::make_unique<SilentUninstall>(request);
  std::vector<bool> made(record.options.size(), record.options_placed);
  silent->info.Fill(0, record, request.install_dir, UninstallNotice(files.skin), made);
  SetUninstallRequestTarget(silent.get());
  // Without plug-ins nobody calls back: no window is made. Without a display none can be: the
  // plug-ins are loaded all the same, with nothing to call back through.
  if (!files.data_folder.empty() && CarriesPlugins(files.data_folder)) {
    const uintptr_t host =
        CreateHiddenRequestHost(record.product_name + record.version + " 卸载向导");
    if (host) CreateRequestWindow(host, kUninstallEntryPrefix, UninstallRequestEntry());
    LoadPlugins(kRunModeUninstaller, files.data_folder);
  }
  silent->Run(0);
  SetUninstallRequestTarget(nullptr);
  return silent->outcome->exit_code;
}

}  // namespace

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
    code = RunSilentUninstall(request, files, record);
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
