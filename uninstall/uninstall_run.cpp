// The uninstall run: option programs, uninstall commands, then the removal steps in order, every
// line logged through the observer, the plug-ins' log callback and the /LOG file.
#include "uninstall/uninstall_run.h"

#include <algorithm>

#include "environment/system.h"
#include "install/install_config.h"
#include "install/install_log.h"
#include "install/registry_entries.h"
#include "install/registry_path.h"
#include "package/exit_codes.h"
#include "runtime/files.h"
#include "runtime/process.h"

namespace {

constexpr int kFolderDesktop = 3;
constexpr int kFolderPrograms = 6;
constexpr const char* kCommonProgramsBelowRoot = "ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\";

// The run's log: observer, plug-in callback and log file, in that order.
struct Log {
  UninstallObserver& observer;
  const UninstallRequest& request;

  void Line(const std::string& line, int percent = 0) const {
    observer.LetMessagesRun();
    observer.ShowLogLine(line);
    if (request.log_callback) request.log_callback(percent, line);
    AppendLogFile(request.log_path, line);
  }
  void ListOnly(const std::string& line) const { observer.AddListLine(line); }
};

std::string WithoutBackslash(std::string path) {
  while (EndsWithBackslash(path)) path.pop_back();
  return path;
}

bool IsLinkFileName(const std::string& name) {
  const std::string lower = AsciiLower(name);
  return EndsWith(lower, ".lnk") || EndsWith(lower, ".url") || EndsWith(lower, ".pif");
}

// Empties `folder` of what the run may take: link files and the folders they leave empty. True
// when the folder is empty afterwards.
bool EmptyMenuFolder(const std::string& folder) {
  bool empty = true;
  for (const FolderEntry& e : ListFolder(folder)) {
    const std::string path = folder + "\\" + e.name;
    if (e.is_link) {
      empty = false;  // not entered and not the product's
    } else if (e.is_folder) {
      if (EmptyMenuFolder(path) && RemoveEmptyFolder(path)) continue;
      empty = false;
    } else if (IsLinkFileName(e.name)) {
      ClearReadOnly(path);
      if (!DeleteFileAt(path)) empty = false;
    } else {
      empty = false;
    }
  }
  return empty;
}

void CollectSubfolders(const std::string& folder, std::vector<std::string>& out, int depth) {
  // A tree deeper than any real install is a loop the listing cannot see.
  if (depth > 64) return;
  // Name order, so the log reads the same on every file system.
  std::vector<FolderEntry> entries = ListFolder(folder);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  for (const FolderEntry& e : entries) {
    if (!e.is_folder || e.is_link) continue;
    const std::string path = folder + "\\" + e.name;
    CollectSubfolders(path, out, depth + 1);
    out.push_back(path);
  }
}

bool FolderIsEmptyNow(const std::string& folder) {
  return FolderExists(folder) && ListFolder(folder).empty();
}

// The launcher ends right after starting the uninstaller, yet on a busy system it may still be
// ending when a quick removal (the direct modes start at once) reaches its file. The file is tried
// again while it is there, for a few seconds; a waiting launcher has moved its file away.
void DeleteLauncherFile(const std::string& path, UninstallObserver& observer) {
  constexpr int kTries = 50;
  constexpr unsigned kPauseMs = 100;
  ClearReadOnly(path);
  for (int i = 0; i < kTries && !DeleteFileAt(path) && FileExists(path); ++i) {
    observer.LetMessagesRun();
    SleepMilliseconds(kPauseMs);
  }
}

}  // namespace

std::vector<std::string> ApplyRemoveDump(const std::vector<std::string>& files,
                                         const RemoveDumpList& remove_dump,
                                         std::string_view install_dir,
                                         const std::function<bool(const std::string&)>& is_folder) {
  if (remove_dump.empty()) return files;
  struct Kept {
    std::string path;  // normalised
    bool folder;
  };
  std::vector<Kept> kept;
  for (const std::string& entry : remove_dump) {
    const std::string path = std::string(install_dir) + "\\" + entry;
    kept.push_back({NormalisePath(path), is_folder && is_folder(path)});
  }
  std::vector<std::string> out;
  for (const std::string& file : files) {
    const std::string f = NormalisePath(file);
    bool spared = false;
    for (const Kept& k : kept) {
      if (k.folder ? ContainsText(AsciiLower(f), AsciiLower(k.path)) : f == k.path) {
        spared = true;
        break;
      }
    }
    if (!spared) out.push_back(file);
  }
  return out;
}

std::string UninstallCommandLine(const UninstallRunCommand& command, std::string_view install_dir) {
  const std::string text = ReplaceAll(command.command, kInstallPathToken, install_dir);
  if (command.external) return text;
  return "\"" + std::string(install_dir) + "\"\\" + text;
}

bool IsSafeFolderName(std::string_view name) {
  const std::string trimmed = TrimSpaces(name);
  if (trimmed.empty()) return false;
  for (const std::string& part : SplitText(ReplaceAll(trimmed, "/", "\\"), "\\")) {
    if (TrimSpaces(part) == "..") return false;
  }
  return !StartsWith(trimmed, "\\") && FindText(trimmed, ":") == std::string::npos;
}

std::vector<std::string> SubfoldersDeepestFirst(const std::string& folder) {
  std::vector<std::string> out;
  CollectSubfolders(WithoutBackslash(folder), out, 0);
  return out;
}

void RemoveMenuFolder(const std::string& folder) {
  if (IsFileSystemRoot(folder) || IsLinkPath(folder) || !FolderExists(folder)) return;
  if (EmptyMenuFolder(folder)) RemoveEmptyFolder(folder);
}

std::string UninstallResultLine(unsigned exit_code, std::string_view failure) {
  const std::string head =
      exit_code == kExitSuccess ? std::string("卸载完成") : "卸载失败: " + std::string(failure);
  return head + " (退出代码 " + IntToText(exit_code) + ")";
}

UninstallOutcome RunUninstall(const UninstallRequest& request, UninstallObserver& observer,
                              const UninstallSystem& system) {
  struct CloseLogAtEnd {
    ~CloseLogAtEnd() { CloseLogFile(); }
  } close_log;
  UninstallOutcome outcome;
  const Log log{observer, request};
  const UninstallRecord record = ReadUninstallRecord(request.record);
  const std::string dir = WithoutBackslash(TrimLeadingSpaces(request.install_dir));
  const std::string& name = record.product_name;
  observer.LetMessagesRun();

  // The check-state text wins over the boxes the user ticked.
  std::vector<bool> ticked = request.ticked;
  ticked.resize(record.options.size(), false);
  if (!request.check_state_text.empty()) {
    const std::vector<std::string> parts = SplitText(request.check_state_text, ",");
    for (size_t i = 0; i < parts.size() && i < ticked.size(); ++i) {
      ticked[i] = parts[i] == "真";
      observer.SetOptionTicked(i, ticked[i]);
    }
  }
  ScriptLists lists;
  lists.remove_dump = request.remove_dump;
  ScriptContext context;
  context.lists = &lists;
  context.install_dir = dir;
  context.starter = system.starter;
  for (size_t i = 0; i < record.options.size(); ++i) {
    RunScriptSection(record.options[i].program, "",
                     ticked[i] ? kScriptUninstallTicked : kScriptUninstallUnticked, context);
  }

  if (request.cancel_removal && request.cancel_removal()) {
    outcome.cancelled = true;
    outcome.exit_code = kExitUninstallCancelled;
    outcome.failure = "插件取消了卸载";
    AppendLogFile(request.log_path, UninstallResultLine(outcome.exit_code, outcome.failure));
    return outcome;
  }

  log.ListOnly("正在获取所需要的卸载信息中");
  const auto is_folder = [](const std::string& path) { return FolderExists(path); };
  const std::vector<std::string> files = ApplyRemoveDump(record.files, lists.remove_dump, dir, is_folder);
  observer.ShowProgressView(name);

  for (const UninstallRunCommand& command : record.commands) {
    if (TrimWhitespace(command.command).empty()) continue;
    if (system.starter) {
      system.starter->StartProgram(UninstallCommandLine(command, dir), command.wait, command.hidden);
    }
  }

  // Shortcuts and the Uninstall entry, named after the product.
  const auto folder = [&](int number) {
    return system.special_folder ? system.special_folder(number) : std::string();
  };
  const bool safe_name = IsSafeFolderName(name);
  const std::string quick_launch = system.quick_launch_folder ? system.quick_launch_folder() : "";
  if (system.windows_version && system.windows_version() >= 6.0 && system.unpin &&
      !record.main_program.empty()) {
    system.unpin(dir, record.main_program);
  }
  const std::string quick_link = quick_launch + "\\" + name + ".lnk";
  const std::string desktop_link = folder(kFolderDesktop) + name + ".lnk";
  if (safe_name) {
    log.Line(kDeleteFilePrefix + quick_link);
    DeleteFileAt(desktop_link);
    log.Line(kDeleteFilePrefix + desktop_link);
    const std::string entry = std::string(kUninstallKey) + name;
    if (system.registry_delete) {
      system.registry_delete(4, entry, "64");
      system.registry_delete(4, entry, "32");
    }
    log.Line(kDeleteRegistryPrefix + entry);
    if (!quick_launch.empty()) DeleteFileAt(quick_link);
  }
  for (const std::string& link : record.shortcut_files) {
    log.Line(kDeleteFilePrefix + link);
    if (IsFileSystemRoot(link)) continue;
    ClearReadOnly(link);
    DeleteFileAt(link);
    if (FileExists(link)) outcome.not_removed.push_back(link);
  }
  const std::string programs = folder(kFolderPrograms);
  std::string last_menu;
  if (safe_name && !programs.empty()) {
    last_menu = programs + name;
    RemoveMenuFolder(last_menu);
  }
  if (IsSafeFolderName(record.start_menu_name) && !programs.empty()) {
    last_menu = programs + record.start_menu_name;
    RemoveMenuFolder(last_menu);
  }
  if (safe_name && last_menu.size() >= 3) {
    RemoveMenuFolder(last_menu.substr(0, 3) + kCommonProgramsBelowRoot + name);
  }

  for (const RegistryRemoval& line : record.registry) {
    const RegistryPath path = ParseRegistryPath(line.key, false);
    log.Line(kDeleteRegistryPrefix + line.key);
    if (path.root > 0 && !path.sub_key.empty() && system.registry_delete) {
      system.registry_delete(path.root, path.sub_key, line.view);
    }
  }
  // The keys the install made, children first, as far as nothing is left in them: a key that
  // holds a value the product keeps, or anything written since, stays.
  for (auto made = record.made_keys.rbegin(); made != record.made_keys.rend(); ++made) {
    const RegistryPath path = ParseRegistryPath(made->key, true);
    if (path.root > 0 && !path.sub_key.empty() && system.remove_empty_key &&
        system.remove_empty_key(path.root, path.sub_key, made->view)) {
      log.Line(kDeleteRegistryPrefix + made->key);
    }
  }

  observer.StartTaskbarProgress();
  const size_t n = files.size();
  for (size_t i = 1; i <= n; ++i) {
    const std::string& file = files[i - 1];
    if (file.empty()) continue;
    const int percent = static_cast<int>(i * 100 / n);
    observer.SetProgress(percent);
    if (!IsFileSystemRoot(file)) {
      ClearReadOnly(file);
      DeleteFileAt(file);
      if (FileExists(file)) outcome.not_removed.push_back(file);
    }
    log.Line(kDeleteFilePrefix + file, percent);
  }

  log.ListOnly("获取剩余目录信息");
  const bool dir_usable = !dir.empty() && !IsFileSystemRoot(dir) && !IsLinkPath(dir);
  if (dir_usable) {
    for (const std::string& sub : SubfoldersDeepestFirst(dir)) {
      if (!FolderIsEmptyNow(sub)) continue;
      log.Line(kDeleteFolderPrefix + sub, 100);
      RemoveEmptyFolder(sub);
    }
    if (!request.program_file_name.empty()) {
      DeleteLauncherFile(dir + "\\" + request.program_file_name, observer);
    }
    if (FolderIsEmptyNow(dir)) RemoveEmptyFolder(dir);
    outcome.folder_removed = !FolderExists(dir);
  }
  observer.StopTaskbarProgress();
  observer.SetProgress(100);
  observer.ShowDone(name);
  if (request.removal_ended) request.removal_ended();

  if (name.empty() && record.files.empty()) {
    outcome.exit_code = kExitUninstallDataMissing;
    outcome.failure = "卸载数据丢失";
  } else if (!outcome.not_removed.empty()) {
    outcome.exit_code = kExitUninstallIncomplete;
    outcome.failure = "未能删除: " + outcome.not_removed.front();
  }
  AppendLogFile(request.log_path, UninstallResultLine(outcome.exit_code, outcome.failure));
  return outcome;
}
