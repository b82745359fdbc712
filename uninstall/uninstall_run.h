// The uninstall run: one UninstallRequest in, one UninstallOutcome out. Everything it has to say
// while it works (log lines, progress, the switch to the progress view, the end) goes to an
// UninstallObserver: the uninstall window, or nothing when the uninstall runs in the background.
// The removal decisions are plain functions; the registry, the shell and the programs it starts go
// through UninstallSystem, the files through the runtime's file functions.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "install/program_starter.h"
#include "install/script_interpreter.h"
#include "runtime/text.h"
#include "uninstall/uninstall_record.h"

// Who watches an uninstall run. Every call has a do-nothing default, which is the silent observer.
class UninstallObserver {
 public:
  virtual ~UninstallObserver() = default;
  virtual void LetMessagesRun() {}
  // A check-state text (plug-in request 2004) set option check box `index` (0-based).
  virtual void SetOptionTicked(size_t index, bool ticked) { (void)index, (void)ticked; }
  // The run starts removing: the window switches to its progress view.
  virtual void ShowProgressView(const std::string& product_name) { (void)product_name; }
  // A line of the log list alone.
  virtual void AddListLine(const std::string& line) { (void)line; }
  // A log line of the run: the status label and the log list, the new line selected.
  virtual void ShowLogLine(const std::string& line) { (void)line; }
  virtual void SetProgress(int percent) { (void)percent; }
  virtual void StartTaskbarProgress() {}
  virtual void StopTaskbarProgress() {}
  // The run has ended: progress 100, the button reads "完成", the header says so.
  virtual void ShowDone(const std::string& product_name) { (void)product_name; }
};

// The parts of the system the run reaches besides files; tests replace them.
struct UninstallSystem {
  std::function<std::string(int number)> special_folder;   // SpecialFolder
  std::function<std::string()> quick_launch_folder;
  std::function<double()> windows_version;
  // RegistryDelete: root code, key path (value path), view text ("64" or other).
  std::function<void(int root, const std::string& path, const std::string& view)> registry_delete;
  // Deletes a key that holds no value and no subkey; true when it did.
  std::function<bool(int root, const std::string& key, const std::string& view)> remove_empty_key;
  std::function<void(const std::string& folder, const std::string& file)> unpin;
  ProgramStarter* starter = nullptr;
};
UninstallSystem DefaultUninstallSystem();

// What an uninstall run is asked to do.
struct UninstallRequest {
  std::string install_dir;         // argument 1 of the uninstaller
  std::string program_file_name;   // the running copy's own file name, deleted at the end
  Bytes record;                    // the whole "uninst.ini" (INI text and items)
  std::vector<bool> ticked;        // the option check boxes when the run starts
  std::string check_state_text;    // plug-in request 2004: "真" or another word per box, by ","
  RemoveDumpList remove_dump;      // plug-in request 2002: install-relative paths to keep
  // Plug-in request 2010: receives every log line with its percentage (0 when it has none).
  std::function<void(int percent, const std::string& line)> log_callback;
  // The plug-ins' answer to the start of the removal: true cancels it. Their notice at its end.
  std::function<bool()> cancel_removal;
  std::function<void()> removal_ended;
  std::string log_path;            // the /LOG file; empty for none
};

struct UninstallOutcome {
  unsigned exit_code = 0;          // SetupExitCode
  bool cancelled = false;          // a plug-in cancelled before anything was removed
  bool folder_removed = false;     // the install directory is gone
  std::vector<std::string> not_removed;  // recorded files and links still in place
  std::string failure;             // why the exit code is not 0
};

UninstallOutcome RunUninstall(const UninstallRequest& request, UninstallObserver& observer,
                              const UninstallSystem& system);

// ---- Decisions of the run ----

inline constexpr const char* kDeleteFilePrefix = "删除文件: ";
inline constexpr const char* kDeleteRegistryPrefix = "删除注册项: ";
inline constexpr const char* kDeleteFolderPrefix = "删除目录: ";

// The file list without the entries `remove_dump` spares: an entry naming an existing folder of
// the install directory spares every path inside it (letter case ignored), any other entry the one
// path equal to it.
std::vector<std::string> ApplyRemoveDump(const std::vector<std::string>& files,
                                         const RemoveDumpList& remove_dump,
                                         std::string_view install_dir,
                                         const std::function<bool(const std::string&)>& is_folder);

// The command line of an uninstall command.
std::string UninstallCommandLine(const UninstallRunCommand& command, std::string_view install_dir);

// A folder name the run may join to a special folder and remove: not empty, and no part of it
// leads out of that folder.
bool IsSafeFolderName(std::string_view name);

// The subfolders of `folder`, deepest first, never entering a link or junction (which are not
// listed either: they are not the product's).
std::vector<std::string> SubfoldersDeepestFirst(const std::string& folder);

// Removes a start-menu folder of the product: its link files (".lnk", ".url", ".pif") and the
// folders left empty; a folder holding anything else stays.
void RemoveMenuFolder(const std::string& folder);

// The last line of the /LOG file: "卸载完成" or "卸载失败: " + failure, with the exit code.
std::string UninstallResultLine(unsigned exit_code, std::string_view failure);
