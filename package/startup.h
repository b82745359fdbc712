// The process-wide start-up state: set once while the package is opened, read by every later step
// (configuration reader, wizard, install run, uninstaller).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// RunMode values.
inline constexpr int kRunModeNone = 0;
inline constexpr int kRunModeInstaller = 1;
inline constexpr int kRunModeUninstaller = 2;

// InstallMode texts.
inline constexpr const char* kInstallModeNormal = "正常安装";
inline constexpr const char* kInstallModeDirect = "直接安装";
inline constexpr const char* kInstallModeBackground = "后台安装";

struct StartupState {
  int run_mode = kRunModeNone;
  std::string run_mode_text;
  std::string program_path;            // program folder + "\" + file name
  std::string program_folder;          // without the final backslash
  std::string config_dir;              // ends with a backslash; empty when no configuration
  std::string data_source;             // where the product data archive is
  std::string archive_password;        // password of the configuration archive
  std::vector<std::string> arguments;  // command-line arguments without the program path
  std::string argument_text;           // raw command line after the program path, trimmed
  std::string install_dir_override;    // from the path switch; empty when absent
  std::string install_mode;            // a switch's choice, else "安装模式" of data.ini; may be empty
  int show_finish_page = 0;            // -1 hides the finish page; 0 undecided
  int window_visible = 0;
  bool show_space = false;             // data.ini "选择框_显示空间"
  int64_t unpacked_size = 0;           // data.ini "压缩原大小" when show_space
  std::string log_path;                // the /LOG= switch: the install log file; empty for none
  // Set when start-up itself cannot go on (a missing volume): the exit code and the reason. The
  // entry then ends the process with them.
  unsigned stop_code = 0;
  std::string stop_reason;
};

StartupState& Startup();

// The plug-in status file "qev_dll\ct.ini" in the temporary folder receives one phase text at a
// time; nothing is written while the plug-in folder does not exist.
bool WritePhaseText(const std::string& text);
inline constexpr const char* kPhaseOpened = "调用临时命令_end";
inline constexpr const char* kPhasePluginsLoaded = "加载配置DLL_end";
inline constexpr const char* kPhaseComponentsFilled = "文本组 [i]_end";
inline constexpr const char* kPhaseWizardShown = "安装包标识 ＝ 1_end";
