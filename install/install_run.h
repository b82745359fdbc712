// The install run: from the moment the install starts (install button, direct or background
// mode) until the finish page. One InstallRequest in, one InstallOutcome out; progress, log lines,
// questions and errors go to an InstallObserver (the wizard's main window, or a silent observer
// without any window), the effects through InstallSteps (the other install modules and the
// system). The decisions are plain functions over texts, so the order and the decisions are
// tested natively and the effects under Wine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "install/install_config.h"
#include "install/program_starter.h"
#include "install/script_interpreter.h"

struct StartupState;
class ComponentTree;

// Who watches an install run: the wizard's main window (wizard/main_window.h) or, in background
// mode, SilentInstallObserver below, which needs no window at all. The run reports through it its
// progress, its log lines, the file being written, its questions and its errors; it never reads a
// control, never decides the next page and never ends the process: it returns an InstallOutcome.
class InstallObserver {
 public:
  virtual ~InstallObserver() = default;
  // Called between steps: a window lets its messages run (repaints, the Cancel button).
  virtual void LetMessagesRun() {}

  // ---- Questions: each returns the answer; a silent observer gives the documented silent one ----
  // The install password (masked entry); false when cancelled. Silent answer: cancel.
  virtual bool AskPassword(const std::string& prompt, std::string& entered) = 0;
  // A yes/no confirmation; true for yes. Silent answer: no.
  virtual bool Confirm(const std::string& question) { (void)question; return false; }

  // ---- Errors: a window shows a modal box; a silent observer writes a log line ----
  virtual void ShowError(const std::string& text) = 0;

  // ---- Progress ----
  // "安装过程_列表": 1 or 2 hide the details list "超级列表框"; 1 also shows "按钮_显示细节".
  virtual void SetLogDisplay(int mode) { (void)mode; }
  // Shows the installing-page picture and hides the details list.
  virtual void ShowInstallingPicture(const ConfigImage& picture) { (void)picture; }
  // The run has been accepted (directory and password) and starts: the installing page.
  virtual void SelectInstallingPage() {}
  // A log line of the run (it also goes to the /LOG file, whatever the observer does with it):
  // the label "解压_标签" shows it; when `add_to_list`, it also becomes the last entry of
  // "超级列表框", selected and scrolled into view.
  virtual void ShowLogLine(const std::string& line, bool add_to_list) = 0;
  // The member the extraction is writing now (full path), every one, the first included.
  virtual void ShowCurrentFile(const std::string& path) { (void)path; }
  // The overall progress, 0..100, never going back.
  virtual void SetProgress(int percent) { (void)percent; }
  // Taskbar progress: started when "任务栏进度" is true; the value follows SetProgress; stopped
  // at the end of the run.
  virtual void StartTaskbarProgress() {}
  virtual void StopTaskbarProgress() {}
};

// The observer of a background install: no window. Questions get their silent answers (the
// password prompt: cancel; a confirmation: no), each written as a log line to the /LOG file; errors
// become log lines of that file too.
class SilentInstallObserver : public InstallObserver {
 public:
  explicit SilentInstallObserver(std::string log_path) : log_path_(std::move(log_path)) {}
  bool AskPassword(const std::string& prompt, std::string& entered) override;
  bool Confirm(const std::string& question) override;
  void ShowError(const std::string& text) override;
  void ShowLogLine(const std::string&, bool) override {}

 private:
  std::string log_path_;
};
// The log lines of the silent answers and errors.
inline constexpr const char* kSilentPasswordLine = "后台安装: 无人回答安装密码的询问, 按取消处理: ";
inline constexpr const char* kSilentConfirmLine = "后台安装: 无人回答确认, 按否处理: ";
inline constexpr const char* kSilentErrorLine = "错误: ";

// The steps of the run that other modules and the system perform; tests replace them.
struct InstallSteps {
  std::function<bool(const std::string& archive, const std::string& folder,
                     const std::string& password, const std::function<void(const std::string&, int)>& progress,
                     const std::string& include, const std::string& exclude, std::string* why)>
      extract;                                        // ExtractArchive, folder names kept
  std::function<bool(const std::string& path, int64_t offset)> restore_signature;
  std::function<void(const std::string& path)> delete_file;
  std::function<void(const std::string& folder)> remove_folder;  // refuses "" and roots
  std::function<void()> create_shortcuts;             // shortcuts of the install
  std::function<void()> write_registry;               // Uninstall entry and database records
  std::function<void()> generate_uninstaller;         // "uninst.exe" and "uninst.dat"
  std::function<std::string(std::string_view command)> write_batch;  // WriteBatchCommand
  ProgramStarter* starter = nullptr;
  std::function<bool()> is_windows64;
};
// The real steps (the install modules and the system).
InstallSteps DefaultInstallSteps();

// The run state of the process (installer mode): set by StartInstall, read by the later steps
// (shortcuts, registry, uninstaller generation, finish page).
struct InstallRunState {
  std::string install_dir;             // normalised, without trailing backslash
  std::string extracted_files;         // one path per line, each ended by CR LF
  std::string previous_name;           // last reported member name
  bool first_report_seen = false;
  int last_shown = 0;                  // last progress shown, 0..100
  int groups = 0;                      // n: exclusion groups
  int group = 0;                       // k: the current group
  bool started = false;                // StartInstall accepted directory and password
  bool extraction_ok = false;          // the main extraction (and every group) succeeded
  std::string failure;                 // why the run failed, for the log and the exit code
  unsigned exit_code = 0;              // SetupExitCode for the process end
  std::string uninstall_registry_list;  // filled by the registry step, read by the uninstaller
  std::string created_registry_keys;    // the keys the registry step made, for the uninstaller
  // Set through the plug-in bridge (empty until a plug-in sets them).
  std::string shortcut_switch_text;    // "d$，s$，q" switches for the shortcut kinds
  std::string start_menu_name;         // replaces the product name as start-menu folder
  std::string alternative_archive;     // replaces the data source as archive to extract
  bool stay_on_page = false;           // the install was started by a plug-in that stays
};
InstallRunState& CurrentInstallRun();

// What an install run is asked to do: one record in.
struct InstallRequest {
  std::string install_dir;      // the folder to install into (path box or path switch), as given
  std::string password;         // the install password when `password_given`
  bool password_given = false;  // false: the observer is asked when the configuration wants one
  std::string install_mode;     // kInstallModeNormal, kInstallModeDirect or kInstallModeBackground
  bool test_run = false;        // test mode: the pages only, nothing started, extracted or written
  // What the run works from; null: the process-wide records (CurrentInstallConfig(),
  // CurrentComponentTree(), CurrentScriptLists(), Startup()).
  InstallConfig* config = nullptr;
  ComponentTree* tree = nullptr;
  ScriptLists* lists = nullptr;
  const StartupState* startup = nullptr;
};
// The request start-up gives: the path switch's folder when there is one, else `shown_dir` (what
// the path box holds); the install mode and test mode of the command line.
InstallRequest RequestFromStartup(const StartupState& startup, const std::string& shown_dir);

// What an install run did: one record out.
struct InstallOutcome {
  unsigned exit_code = 0;        // SetupExitCode the process ends with
  bool started = false;          // directory and password were accepted and the run went through
  bool extraction_ok = false;    // the main extraction (and every group) succeeded
  bool test_run = false;         // test mode: nothing was installed
  std::string install_dir;       // normalised, without trailing backslash
  std::string failure;           // why it stopped or failed; empty on success
  std::string extracted_files;   // one path per line, each ended by CR LF
};

// The install run: directory and password checks, the installing page, the "Install" sections,
// the before-install programs, the extraction, the shortcuts, registry and uninstaller steps, the
// after-extraction programs and "Unzip" sections, the taskbar progress. A refused start (directory
// or password) returns at once with `started` false and the exit code that says why; the wizard
// then stays on its page. The run never ends the process.
InstallOutcome RunInstall(const InstallRequest& request, InstallObserver& observer);
// The same with the steps and the run state given (tests).
InstallOutcome RunInstall(const InstallRequest& request, InstallObserver& observer,
                          const InstallSteps& steps, InstallRunState& run);
// Prompt of the install-password box.
inline constexpr const char* kPasswordPrompt = "请输入安装程序的密码才可继续安装";
// The observer WriteLogLine reaches outside a run (the wizard registers its window; null: none).
void SetInstallObserver(InstallObserver* observer);
InstallObserver* CurrentInstallObserver();

// The log line of the install: the observer's label and list, the plug-ins, and the /LOG file.
void WriteLogLine(const std::string& line);

// The component tree of the configuration without any window: the script store's tree, or the
// four default items with the "基本组件勾选" ticks.
void PrepareComponentTree(const InstallConfig& config, ComponentTree& tree);

// The end of every run of setup.exe, whatever ended it (finish, quit, refusal, failure, no
// package, no window): the result line with the exit code in the /LOG file `log_path`, the log
// file let go, every registered temporary path removed (package/cleanup.h). The program's entry
// calls it just before it ends the process.
void CloseRun(unsigned exit_code, const std::string& why, const std::string& log_path);

// ---- Decisions of the run, shared by both builds ----

// The messages of a refused install directory.
inline constexpr const char* kEmptyDirectoryMessage =
    "请先填写好完整的安装路径后再执行下一步操作！";
inline constexpr const char* kBadDirectoryMessage = "安装路径不正确，请重新选择！";
// The message box text for a normalised install directory that cannot be installed into, or the
// empty text when it can: empty; a bare drive or share root; not a full path (drive or share);
// a character Windows paths cannot hold (control characters, < > | " * ?, a ':' other than the
// drive's).
std::string InstallDirectoryProblem(std::string_view dir);

// Test mode of the run: the command line holds exactly the one argument "test".
bool IsTestRun(const std::vector<std::string>& arguments);

// Whether the clean-up deletes the extracted archive: it lies in the temporary folder, and it is
// neither the program file itself nor a file beside the program (split volumes) unless its name is
// one of the unique temporary names.
bool IsTemporaryArchive(std::string_view archive, std::string_view temp_dir,
                        std::string_view program_path);
// Whether the clean-up removes the configuration directory: not when it is empty or the program's
// own folder (test mode keeps the configuration there).
bool RemovesConfigurationDirectory(std::string_view config_dir, std::string_view program_folder);

// The last line of the log file: "安装完成" or "安装失败: " + failure, with the exit code.
std::string InstallResultLine(unsigned exit_code, std::string_view failure);

// The system filter: the command with its "[sys=…]" tag removed, or the empty text when it is
// not meant for this Windows.
std::string ApplySystemFilter(std::string_view command, bool windows64);

// An exclusion group of "Except.ini".
struct ExclusionGroup {
  std::string destination;
  std::string include;  // members, each followed by a comma
};
struct Exclusions {
  std::vector<ExclusionGroup> groups;
  std::string exclude;  // every member, separated by commas
};
// "Except.ini" text (deciphered, variables replaced) with "%InstallPath%" set to `install_dir`.
Exclusions ParseExclusions(std::string_view except_text, std::string_view install_dir);

// The overall percentage of a report `percent` of group k of n (n = 0: no groups).
int OverallProgress(int groups, int group, int percent);

// `command` as StartProgram receives it: unchanged, or, when it holds "%ET%", the quoted path of
// the batch file `write_batch` wrote (empty when it could not be written).
std::string WithBatchForm(const std::string& command,
                          const std::function<std::string(std::string_view)>& write_batch);

// The before-install command as StartProgram receives it (Part of StartInstall); empty when the
// system filter drops it. A batch command is written through `write_batch`.
std::string BeforeInstallCommand(const RunCommand& command, std::string_view install_dir,
                                 bool windows64,
                                 const std::function<std::string(std::string_view)>& write_batch);
// The same for an after-extraction command, whose batch is written before the filter and the
// "%InstallPath%" replacement.
std::string AfterExtractionCommand(const RunCommand& command, std::string_view install_dir,
                                   bool windows64,
                                   const std::function<std::string(std::string_view)>& write_batch);
