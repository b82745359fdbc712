// The install run: from the moment the install starts (install button, direct or background
// mode) until the finish page. The decisions are plain functions over texts; the effects go
// through InstallWindow (the wizard's main window) and InstallSteps (the other install modules
// and the system), so the order and the decisions are tested natively and the effects under Wine.
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

// What the install run asks of the window it runs in. The wizard's main window implements it
// (hidden in background mode); tests record the calls.
class InstallWindow {
 public:
  virtual ~InstallWindow() = default;
  virtual void LetMessagesRun() = 0;
  // The text of the path box "安装路径_编辑框".
  virtual std::string PathBoxText() = 0;
  // Modal message box with the error icon and the main window's title as caption.
  virtual void ShowError(const std::string& text) = 0;
  // Input box with a masked entry field; false when cancelled.
  virtual bool AskPassword(const std::string& prompt, std::string& entered) = 0;
  // "安装过程_列表": 1 or 2 hide the details list "超级列表框"; 1 also shows "按钮_显示细节".
  virtual void SetLogDisplay(int mode) = 0;
  // Shows the installing-page picture and hides the details list.
  virtual void ShowInstallingPicture(const ConfigImage& picture) = 0;
  // The tab control "选择夹1" selects the installing page.
  virtual void SelectInstallingPage() = 0;
  // The label "解压_标签" shows `line`; when `add_to_list`, it also becomes the last entry of
  // "超级列表框", selected and scrolled into view.
  virtual void ShowLogLine(const std::string& line, bool add_to_list) = 0;
  // The progress bar "进度条1" (0..100).
  virtual void SetProgress(int percent) = 0;
  // Taskbar progress: started (80 ms timer over ITaskbarList3) when "任务栏进度" is true; the
  // value follows SetProgress; stopped at the end (100 of 100, then no progress).
  virtual void StartTaskbarProgress() = 0;
  virtual void StopTaskbarProgress() = 0;
  // The finish step of the wizard. In background mode, or when the finish page is switched off,
  // it ends the process (with the run's exit code) and does not return.
  virtual void EnterFinishPage() = 0;
};

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
  // Set through the plug-in bridge (empty until a plug-in sets them).
  std::string shortcut_switch_text;    // "d$，s$，q" switches for the shortcut kinds
  std::string start_menu_name;         // replaces the product name as start-menu folder
  std::string alternative_archive;     // replaces the data source as archive to extract
  bool stay_on_page = false;           // the install was started by a plug-in that stays
};
InstallRunState& CurrentInstallRun();

// StartInstall: directory and password checks, the installing page, the "Install" sections,
// the before-install programs, the install run, the taskbar progress. True when the install ran;
// false when it was refused (the run state's exit code then says why).
bool StartInstall(const std::string& password, bool password_given);
bool StartInstall(const std::string& password, bool password_given, InstallWindow& window,
                  const InstallSteps& steps, InstallConfig& config, ComponentTree& tree,
                  const StartupState& startup, InstallRunState& run);
// The same with the script lists the "Install" sections fill and the extraction reads (the others
// use the process-wide CurrentScriptLists()).
bool StartInstall(const std::string& password, bool password_given, InstallWindow& window,
                  const InstallSteps& steps, InstallConfig& config, ComponentTree& tree,
                  const StartupState& startup, InstallRunState& run, ScriptLists& lists);
// Prompt of the install-password box.
inline constexpr const char* kPasswordPrompt = "请输入安装程序的密码才可继续安装";
// The window the wizard registers for the real run.
void SetInstallWindow(InstallWindow* window);
InstallWindow* CurrentInstallWindow();

// The log line of the install: the window's label and list, the plug-ins, and the /LOG file.
void WriteLogLine(const std::string& line);

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
