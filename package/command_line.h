// Start-up decisions taken from the command line: the argument list, the argument text, the path
// switch, the mode switches and test mode. Pure functions over GBK texts; the process's own
// command line is fetched by ProcessCommandLine (Windows: GetCommandLineW converted to GBK).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The process's full command line as GBK text (empty on the native build).
std::string ProcessCommandLine();

// The arguments after the program path. A double quote starts an argument that runs to the next
// double quote; bytes below "!" separate; a GBK lead byte always takes its trail byte along.
std::vector<std::string> SplitArguments(std::string_view command_line);

// The arguments of an argument text (what follows the program path), split as above.
std::vector<std::string> SplitArgumentText(std::string_view argument_text);

// The raw text after the program path, spaces trimmed at both ends.
std::string ArgumentText(std::string_view command_line);

// The log switch "/LOG=path" (letters in any case, at the start of the text or after a blank, and
// not inside a double-quoted value such as the path switch's /D="C:\x /LOG=y"):
// takes the path (quoted: up to the closing quote; unquoted: up to the first space), removes the
// whole switch from `argument_text` (spaces trimmed where it stood) and returns the path; empty
// when there is no such switch.
std::string TakeLogSwitch(std::string& argument_text);

// True when the first argument is exactly "test".
bool IsTestMode(const std::vector<std::string>& arguments);

// Values of data.ini section "安装包命令行"; empty ones select the default switch texts.
// The switch texts that stand when the configuration leaves one empty.
inline constexpr const char* kDefaultDirectSwitch = "-jp";
inline constexpr const char* kDefaultHideEndSwitch = "-hideend";
inline constexpr const char* kDefaultHiddenSwitch = "-hp";

struct SwitchSettings {
  std::string path;      // key "p": the path switch, none when empty
  std::string direct;    // key "jp", default "-jp"
  std::string hide_end;  // key "hideend", default "-hideend"
  std::string hidden;    // key "hp", default "-hp"
};

struct SwitchDecision {
  std::string install_dir_override;  // empty when the path switch is absent
  std::string install_mode;          // "直接安装", "后台安装" or empty
  int show_finish_page = 0;          // -1 when the hide-end switch is present
};

// The install directory named after the path switch `path_switch` in the argument text.
std::string PathSwitchValue(std::string_view argument_text, std::string_view path_switch);

SwitchDecision DecideSwitches(std::string_view argument_text, const SwitchSettings& settings);

// What start-up does after the package is opened.
enum class StartupBranch {
  kUninstallWizard,  // uninstaller file started with no argument or several
  kInstallerSetup,   // installer: wizard set-up from the configuration
  kPlainWizard,      // no package (or an uninstaller with one argument): the bare wizard
};
StartupBranch DecideStartupBranch(int run_mode, size_t argument_count);
