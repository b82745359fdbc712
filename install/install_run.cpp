// The install run: StartInstall with its checks, the components' sections, the programs before and
// after the extraction, the extraction with its exclusion groups and progress, the clean-up, and the
// hand-over to the finish page. Every effect goes through the window and the steps it is given.
#include "install/install_run.h"

#include "environment/system.h"
#include "install/component_tree.h"
#include "install/directory_checks.h"
#include "install/install_log.h"
#include "package/cleanup.h"
#include "package/exit_codes.h"
#include "package/startup.h"
#include "runtime/files.h"
#include "runtime/md5.h"
#include "runtime/text.h"

namespace {

constexpr const char* kRunProgramPrefix = "运行程序: ";
constexpr const char* kExtractPrefix = "抽取: ";
constexpr const char* kFailurePrefix = "安装失败: ";
constexpr const char* kRefusalPrefix = "安装未开始: ";
constexpr const char* kNoDataLine = "安装包没有产品数据: 跳过解压";
// A data block copied out of the program file starts with its start marker of this many bytes.
constexpr int64_t kDataMarkerBytes = 19;

// Where log lines go: the observer and log file of the install that is running, or else those of
// the process.
struct LogTarget {
  InstallObserver* observer = nullptr;
  int display = 0;
  std::string file;
};
const LogTarget* running_log = nullptr;

// Makes `target` the destination of WriteLogLine while an install runs.
class RunningLog {
 public:
  explicit RunningLog(const LogTarget& target) : previous_(running_log) { running_log = &target; }
  ~RunningLog() { running_log = previous_; }
  RunningLog(const RunningLog&) = delete;
  RunningLog& operator=(const RunningLog&) = delete;

 private:
  const LogTarget* previous_;
};

InstallObserver* registered_observer = nullptr;

void LogTo(const LogTarget& target, const std::string& line) {
  if (target.observer) {
    target.observer->LetMessagesRun();
    target.observer->ShowLogLine(line, target.display != 2);
  }
  AppendLogFile(target.file, line);
}

void AppendMembers(std::string& list, std::string_view members) {
  if (members.empty()) return;
  if (!list.empty()) list += ',';
  list += members;
}

// Two folder paths naming the same folder as the file system compares them (letter case aside).
bool SameFolderPath(std::string_view a, std::string_view b) {
  auto bare = [](std::string_view p) {
    std::string s(p);
    if (EndsWithBackslash(s)) s.pop_back();
    return s;
  };
  return EqualsIgnoreAsciiCase(bare(a), bare(b));
}

// An unused row of the program list: made relative to the install directory it would open the
// directory itself.
bool IsBlankCommand(const RunCommand& entry) { return TrimWhitespace(entry.command).empty(); }

// A refused start: the exit code and the reason, kept in the run state; the result line with the
// exit code is written when the process ends (CloseRun), as the wizard may let the user try again.
void Refuse(InstallRunState& run, const LogTarget& log, unsigned code, const std::string& why) {
  run.exit_code = code;
  run.failure = why;
  run.started = false;
  AppendLogFile(log.file, kRefusalPrefix + why);
}

// A failed extraction: the run goes on, but ends with the extraction's exit code.
void FailExtraction(InstallRunState& run, const LogTarget& log, const std::string& why) {
  run.extraction_ok = false;
  if (run.failure.empty()) run.failure = why;
  run.exit_code = kExitExtractionFailed;
  LogTo(log, kFailurePrefix + why);
}

// Everything one install needs, gathered so the steps below read as the run's order.
struct Run {
  InstallObserver& window;
  const InstallSteps& steps;
  InstallConfig& config;
  ComponentTree& tree;
  const StartupState& startup;
  InstallRunState& state;
  ScriptLists& lists;
  const LogTarget& log;
  std::string archive_password;
  bool windows64 = false;

  void RunSections(const char* section) {
    ScriptContext context;
    context.tree = &tree;
    context.lists = &lists;
    context.install_dir = state.install_dir;
    context.starter = steps.starter;
    RunTreeSections(config.script_store, section, context);
  }

  void StartCommand(const std::string& command, const RunCommand& entry) {
    if (command.empty()) return;
    LogTo(log, kRunProgramPrefix + command);
    if (steps.starter) steps.starter->StartProgram(command, entry.wait, entry.hidden);
  }

  // A report of the archive library: the member written and the percentage of this extraction.
  // Every member gets its line when it is first reported, the first member included.
  void Progress(const std::string& name, int percent) {
    // An empty name (the end report of an empty archive) is no member and starts nothing.
    if (!name.empty() && (!state.first_report_seen || name != state.previous_name)) {
      if (!state.first_report_seen) state.extracted_files.clear();
      state.first_report_seen = true;
      state.previous_name = name;
      window.ShowCurrentFile(name);
      std::string shown = name;
      const size_t inside = FindText(shown, state.install_dir + "\\");
      if (inside != std::string::npos) shown.erase(inside, state.install_dir.size() + 1);
      LogTo(log, kExtractPrefix + shown);
      state.extracted_files += name + "\r\n";
    }
    const int overall = OverallProgress(state.groups, state.group, percent);
    if (overall > state.last_shown) {
      window.SetProgress(overall);
      state.last_shown = overall;
    }
  }

  // On failure `why` gets the archive library's reason (a refused member name, a wrong password).
  bool Extract(const std::string& archive, const std::string& folder, const std::string& include,
               const std::string& exclude, std::string& why) {
    why.clear();
    if (!steps.extract) return true;
    return steps.extract(
        archive, folder, archive_password,
        [this](const std::string& name, int percent) { Progress(name, percent); }, include,
        exclude, &why);
  }

  static std::string WithReason(const std::string& what, const std::string& why) {
    return why.empty() ? what : what + " (" + why + ")";
  }

  void ExtractAll(const std::string& archive) {
    const Exclusions exclusions = ParseExclusions(config.exclusions, state.install_dir);
    AppendMembers(lists.exclude, exclusions.exclude);
    state.groups = static_cast<int>(exclusions.groups.size());
    for (size_t k = 0; k < exclusions.groups.size(); ++k) {
      const ExclusionGroup& group = exclusions.groups[k];
      state.group = static_cast<int>(k) + 1;
      std::string why;
      if (!Extract(archive, group.destination, group.include, std::string(), why)) {
        FailExtraction(state, log, WithReason("解压文件组出错: " + group.destination, why));
      }
    }
    state.group = state.groups + 1;
    std::string why;
    if (!Extract(archive, state.install_dir, lists.include, lists.exclude, why)) {
      FailExtraction(state, log, WithReason("解压数据包出错", why));
    }
  }

  void Install() {
    window.LetMessagesRun();
    const std::string& source = startup.data_source;
    // The program file itself is never written to: it holds no copied-out data block.
    if (steps.restore_signature && !source.empty() && !startup.no_product_data &&
        !EqualsIgnoreAsciiCase(source, startup.program_path)) {
      steps.restore_signature(source, kDataMarkerBytes);
    }
    const std::string archive = state.alternative_archive.empty() ? source : state.alternative_archive;

    // A package without product data installs the configuration's effects only: the data step
    // is skipped, not failed (a plug-in's own archive is still extracted).
    if (startup.no_product_data && state.alternative_archive.empty()) {
      LogTo(log, kNoDataLine);
      window.SetProgress(100);
    } else {
      ExtractAll(archive);
    }

    if (steps.delete_file &&
        IsTemporaryArchive(archive, SpecialFolder(kFolderTemp), startup.program_path)) {
      steps.delete_file(archive);
    }
    if (steps.remove_folder &&
        RemovesConfigurationDirectory(startup.config_dir, startup.program_folder)) {
      steps.remove_folder(startup.config_dir);
    }

    if (steps.create_shortcuts) steps.create_shortcuts();
    if (steps.write_registry) steps.write_registry();
    if (config.GeneratesUninstaller() && steps.generate_uninstaller) steps.generate_uninstaller();
    for (const RunCommand& entry : config.after_extraction) {
      if (IsBlankCommand(entry)) continue;
      StartCommand(AfterExtractionCommand(entry, state.install_dir, windows64, steps.write_batch),
                   entry);
    }
    RunSections("Unzip");

  }
};

}  // namespace

InstallRunState& CurrentInstallRun() {
  static InstallRunState state;
  return state;
}

void SetInstallObserver(InstallObserver* observer) { registered_observer = observer; }
InstallObserver* CurrentInstallObserver() { return registered_observer; }

void WriteLogLine(const std::string& line) {
  if (running_log) {
    LogTo(*running_log, line);
    return;
  }
  LogTarget target;
  target.observer = registered_observer;
  target.display = CurrentInstallConfig().log_display;
  target.file = Startup().log_path;
  LogTo(target, line);
}

bool SilentInstallObserver::AskPassword(const std::string& prompt, std::string& entered) {
  entered.clear();
  AppendLogFile(log_path_, kSilentPasswordLine + prompt);
  return false;
}

bool SilentInstallObserver::Confirm(const std::string& question) {
  AppendLogFile(log_path_, kSilentConfirmLine + question);
  return false;
}

void SilentInstallObserver::ShowError(const std::string& text) {
  AppendLogFile(log_path_, kSilentErrorLine + text);
}

InstallRequest RequestFromStartup(const StartupState& startup, const std::string& shown_dir) {
  InstallRequest request;
  request.install_dir =
      startup.install_dir_override.empty() ? shown_dir : startup.install_dir_override;
  request.install_mode = startup.install_mode;
  request.test_run = IsTestRun(startup.arguments);
  return request;
}

InstallOutcome RunInstall(const InstallRequest& request, InstallObserver& observer) {
  static const InstallSteps steps = DefaultInstallSteps();
  return RunInstall(request, observer, steps, CurrentInstallRun());
}

InstallOutcome RunInstall(const InstallRequest& request, InstallObserver& window,
                          const InstallSteps& steps, InstallRunState& run) {
  InstallConfig& config = request.config ? *request.config : CurrentInstallConfig();
  ComponentTree& tree = request.tree ? *request.tree : CurrentComponentTree();
  ScriptLists& lists = request.lists ? *request.lists : CurrentScriptLists();
  const StartupState& startup = request.startup ? *request.startup : Startup();
  auto outcome = [&run, &request] {
    InstallOutcome o;
    o.exit_code = run.exit_code;
    o.started = run.started;
    o.extraction_ok = run.extraction_ok;
    o.test_run = request.test_run;
    o.install_dir = run.install_dir;
    o.failure = run.failure;
    o.extracted_files = run.extracted_files;
    return o;
  };
  // The log file is let go when the start is refused or the run has ended.
  struct CloseLogAtEnd {
    ~CloseLogAtEnd() { CloseLogFile(); }
  } close_log;
  LogTarget log;
  log.observer = &window;
  log.display = config.log_display;
  log.file = startup.log_path;
  RunningLog running(log);

  window.LetMessagesRun();
  const std::string dir = NormalisePath(request.install_dir);
  if (dir.empty()) {
    window.ShowError(kEmptyDirectoryMessage);
    Refuse(run, log, kExitDirectoryRefused, "安装路径为空");
    return outcome();
  }
  if (const std::string problem = InstallDirectoryProblem(dir); !problem.empty()) {
    window.ShowError(problem);
    Refuse(run, log, kExitDirectoryRefused, "安装路径不正确: " + dir);
    return outcome();
  }
  // The "ml" checks: the wizard has run them already; a folder given otherwise meets them here.
  if (const std::string refusal = InstallPathRefusal(dir, config.no_double_byte_path,
                                                     config.required_entry, PathExists);
      !refusal.empty()) {
    window.ShowError(refusal);
    Refuse(run, log, kExitDirectoryRefused, refusal + ": " + dir);
    return outcome();
  }

  std::string archive_password = config.data_password;
  if (!config.password_digest.empty()) {
    std::string entered = request.password_given ? request.password : std::string();
    if (!request.password_given && !window.AskPassword(kPasswordPrompt, entered)) {
      Refuse(run, log, kExitPasswordRefused, "未输入安装密码");
      return outcome();
    }
    if (Md5Hex(entered) != config.password_digest) {
      Refuse(run, log, kExitPasswordRefused, "安装密码不正确");
      return outcome();
    }
    archive_password = entered;
  }

  run.install_dir = dir;
  run.started = true;
  run.exit_code = kExitSuccess;
  run.failure.clear();
  run.extraction_ok = true;

  if (config.log_display == 1 || config.log_display == 2) window.SetLogDisplay(config.log_display);
  if (!config.installing_picture.bytes.empty()) window.ShowInstallingPicture(config.installing_picture);
  if (!run.stay_on_page) window.SelectInstallingPage();
  if (config.taskbar_progress) window.StartTaskbarProgress();

  if (request.test_run) {
    // A test run shows the pages only: nothing is started, extracted or written.
    window.LetMessagesRun();
  } else {
    Run r{window, steps, config, tree, startup, run, lists, log, archive_password};
    r.windows64 = steps.is_windows64 && steps.is_windows64();
    r.RunSections("Install");
    for (const RunCommand& entry : config.before_install) {
      if (IsBlankCommand(entry)) continue;
      r.StartCommand(BeforeInstallCommand(entry, dir, r.windows64, steps.write_batch), entry);
    }
    r.Install();
  }

  if (config.taskbar_progress) window.StopTaskbarProgress();
  return outcome();
}

void PrepareComponentTree(const InstallConfig& config, ComponentTree& tree) {
  if (SetUpComponentTree(config.script_store, tree).added) return;
  // The four items the components page brings when the script store defines no tree.
  tree.Clear();
  for (const char* text : {"基本组件", "桌面快捷方式", "开始菜单组件", "快速启动栏"}) {
    tree.Add(text, -1, true);
  }
  ApplyBasicChecks(config.basic_checks, tree);
}

void CloseRun(unsigned exit_code, const std::string& why, const std::string& log_path) {
  AppendLogFile(log_path, InstallResultLine(exit_code, why));
  CloseLogFile();
  RemoveTemporaryPaths();
}

// ---- Decisions ----

std::string InstallDirectoryProblem(std::string_view dir) {
  if (dir.empty()) return kEmptyDirectoryMessage;
  const std::string path(dir);
  const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  bool share = StartsWith(path, "\\\\");
#ifndef _WIN32
  // The native build's files are POSIX paths; its tests install into them.
  share = share || StartsWith(path, "/");
#endif
  if ((!drive && !share) || IsFileSystemRoot(path)) return kBadDirectoryMessage;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      ++i;  // a double-byte character: its trail byte may look like any of the marks below
      continue;
    }
    if (c < 0x20 || c == '<' || c == '>' || c == '|' || c == '"' || c == '*' || c == '?' ||
        (c == ':' && i != 1)) {
      return kBadDirectoryMessage;
    }
  }
  return std::string();
}

bool IsTestRun(const std::vector<std::string>& arguments) {
  return arguments.size() == 1 && arguments[0] == "test";
}

bool IsTemporaryArchive(std::string_view archive, std::string_view temp_dir,
                        std::string_view program_path) {
  if (archive.empty() || temp_dir.empty() || !ContainsText(archive, temp_dir)) return false;
  if (EqualsIgnoreAsciiCase(archive, program_path)) return false;
  const std::string folder = FolderOfPath(std::string(archive));
  if (SameFolderPath(folder, FolderOfPath(std::string(program_path))) &&
      !ContainsText(AsciiLower(NameOfPath(std::string(archive))), ".tmp")) {
    return false;
  }
  return true;
}

bool RemovesConfigurationDirectory(std::string_view config_dir, std::string_view program_folder) {
  if (config_dir.empty()) return false;
  return program_folder.empty() || !SameFolderPath(config_dir, program_folder);
}

std::string InstallResultLine(unsigned exit_code, std::string_view failure) {
  const std::string head =
      exit_code == kExitSuccess ? std::string("安装完成") : kFailurePrefix + std::string(failure);
  return head + " (退出代码 " + IntToText(exit_code) + ")";
}

std::string ApplySystemFilter(std::string_view command, bool windows64) {
  static constexpr std::string_view kOpen = "[sys=";
  const size_t open = FindText(command, kOpen);
  if (open == std::string_view::npos) return std::string(command);
  const size_t close = FindText(command, "]", open + kOpen.size());
  if (close == std::string_view::npos) return std::string(command);
  const std::string_view tag = command.substr(open + kOpen.size(), close - open - kOpen.size());
  if (tag.empty()) return std::string(command);
  std::string result(command);
  result.erase(open, close + 1 - open);
  const bool for32 = ContainsText(tag, "32");
  const bool for64 = ContainsText(tag, "64");
  if (for32 && for64) return result;
  if ((for32 && !windows64) || (for64 && windows64)) return result;
  return std::string();
}

Exclusions ParseExclusions(std::string_view except_text, std::string_view install_dir) {
  Exclusions result;
  const std::string text = ReplaceAll(except_text, kInstallPathToken, install_dir);
  for (const std::string& line : SplitText(text, "\r\n")) {
    const std::vector<std::string> fields = SplitText(line, ",");
    // A blank line names no member (an empty member would select or drop everything).
    if (fields.empty() || fields[0].empty()) continue;
    if (fields.size() >= 2 && fields[1] == "-1") {
      result.groups.push_back(ExclusionGroup{fields[0], std::string()});
      continue;
    }
    if (result.groups.empty()) continue;
    result.groups.back().include += fields[0] + ",";
    AppendMembers(result.exclude, fields[0]);
  }
  return result;
}

int OverallProgress(int groups, int group, int percent) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (groups <= 0) return percent;
  const double value = ((group - 1) * 100.0 + percent) / (groups + 1);
  return static_cast<int>(value);
}

std::string WithBatchForm(const std::string& command,
                          const std::function<std::string(std::string_view)>& write_batch) {
  if (!ContainsText(command, kBatchLineBreak)) return command;
  return write_batch ? write_batch(command) : std::string();
}

std::string BeforeInstallCommand(const RunCommand& command, std::string_view install_dir,
                                 bool windows64,
                                 const std::function<std::string(std::string_view)>& write_batch) {
  std::string text = command.command;
  if (!command.external) text = "\"" + std::string(install_dir) + "\"\\" + text;
  text = ReplaceAll(text, kInstallPathToken, install_dir);
  return WithBatchForm(ApplySystemFilter(text, windows64), write_batch);
}

std::string AfterExtractionCommand(const RunCommand& command, std::string_view install_dir,
                                   bool windows64,
                                   const std::function<std::string(std::string_view)>& write_batch) {
  std::string text = command.command;
  if (!command.external) {
    text = "\"" + std::string(install_dir) + "\"\\" + text;
  } else {
    text = WithBatchForm(text, write_batch);
    if (text.empty()) return text;
  }
  text = ApplySystemFilter(text, windows64);
  return ReplaceAll(text, kInstallPathToken, install_dir);
}
