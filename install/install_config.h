// The install configuration: "data.ini" of the configuration directory and the files beside it,
// read once into InstallConfig before the wizard is set up; every later step reads the record.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"

struct StartupState;
class ProfileText;

// An extra shortcut (section "新建快捷方式参数").
struct ShortcutSpec {
  std::string name;
  std::string target;     // relative to the install directory
  std::string arguments;
  std::string location;   // folders separated by commas
  bool remove_on_uninstall = false;
  std::string icon;
  std::string description;
};

// A program the install starts (section "解压后运行的参数"). "**" in the command already stands
// as a double quote.
struct RunCommand {
  bool external = false;
  std::string command;
  bool hidden = false;
  bool wait = false;
  std::string phase;
};

// A command for the uninstaller (section "卸载时运行命令"), carried into the uninstall record as
// it was read: the external switch stays text, "**" stays as it is.
struct UninstallCommand {
  std::string external;
  std::string command;
  bool hidden = false;
  bool wait = false;
};

// A check box of the finish page.
struct FinishOption {
  std::string title;
  std::string command;
  bool visible = false;
  bool ticked = false;
};

// A picture or icon file of the configuration directory, kept as bytes.
struct ConfigImage {
  Bytes bytes;
  bool IsPng() const;
};

// The token every install step replaces by the install directory.
inline constexpr std::string_view kInstallPathToken = "%InstallPath%";

// The phase text that sends a RunCommand to the after-extraction list.
inline constexpr std::string_view kAfterExtractionPhase = "解压后运行";

struct InstallConfig {
  // Main section "墨桐软件安装配置".
  std::string product_name;
  std::string archive_name;
  std::string company_name;
  std::string append_folder_name;      // "浏览目录自动添加"
  std::string prefer_previous_location;  // "选择框_优先二次路径" as stored
  std::string install_dir;             // what the path box starts with
  bool agree_preset = false;           // "同意条款k"
  std::string version;
  std::string password_digest;         // "安装密码": MD5 hex, empty for none
  std::string main_program;            // "包内的程序名"
  int generate_uninstaller = 0;        // "是否生成卸载程序": 1 generates
  std::string data_password;           // "safe"
  bool taskbar_progress = false;
  int log_display = 0;                 // "安装过程_列表": 0, 1 or 2
  std::string uninstall_mode;
  int registry_view = 32;              // "I_reg": 64 or 32
  bool auto_append_folder = false;
  std::string install_mode;            // command line first, then "安装模式"
  int show_finish_page = 0;            // command line first, then 1 ("真") or -1
  std::array<std::string, 3> basic_checks;  // "基本组件勾选" split at "，"

  // Section "安装包命令行".
  std::string switch_direct;    // "jp"
  std::string switch_hide_end;  // "hideend"
  std::string switch_hidden;    // "hp"
  // Section "ml".
  std::string no_double_byte_path;  // "ch"
  std::string required_entry;       // "zwj"
  // Section "界面_可视".
  bool components_page_visible = false;
  bool directory_page_visible = false;

  // Section "卸载选项_列表": the "y" value first, then one "标题$,可视$,选中$,程序" row per option.
  std::vector<std::string> uninstall_options;
  std::vector<ShortcutSpec> shortcuts;
  std::vector<FinishOption> finish_options;
  int finish_options_top = 132;        // "完成后选项_列表" "y", 132 when 0
  std::vector<RunCommand> before_install;
  std::vector<RunCommand> after_extraction;
  std::vector<UninstallCommand> uninstall_commands;

  std::string licence;                 // item "自述文本_开始" of data.ini, empty when none
  ConfigImage picture;                 // "界面图片.jpg"
  ConfigImage small_picture;           // "界面小图片.jpg"
  ConfigImage large_picture;           // "界面大图片.jpg"
  ConfigImage installing_picture;      // "界面安装时图像.jpg"
  Bytes uninstaller_icon;              // "卸载程序图标.ico"
  Bytes setup_icon;                    // "setup.ico"
  std::string script_store;            // "choomarlowe.ini" deciphered
  std::string exclusions;              // "Except.ini" (deciphered at start-up)

  bool GeneratesUninstaller() const { return generate_uninstaller == 1; }
  bool RegistryView64() const { return registry_view == 64; }
};

// Reads the text value of a registry value path under a root code (1..5); empty when missing.
// A root code with kRootIn32BitView (environment/system.h) added asks for the 32-bit view of
// 64-bit Windows; the plain codes read the 64-bit view.
using RegistryTextReader = std::function<std::string(int root, const std::string& value_path)>;
// The system registry (ReadRegistryText).
RegistryTextReader SystemRegistryReader();

// What the command line settled before the configuration is read; it wins over the file.
struct CommandLineChoices {
  std::string install_dir;   // the path switch; empty when absent
  std::string install_mode;  // empty when no switch chose one
  int show_finish_page = 0;  // 0 when no switch decided
};

// Reads "data.ini" and the files of `config_dir` (ends with a backslash).
InstallConfig ReadInstallConfig(const std::string& config_dir, const CommandLineChoices& choices,
                                const RegistryTextReader& registry);

// The process-wide record: read from the start-up state's configuration directory, with the
// command-line choices of start-up. The effective install mode and finish-page choice are written
// back into the start-up state, so both places agree.
const InstallConfig& LoadInstallConfig(StartupState& startup, const RegistryTextReader& registry);
InstallConfig& CurrentInstallConfig();

// ---- Pieces of the reader, for the steps that need them on their own ----

// The directory the path box starts with: the previous install location of the product when
// `prefer_previous` is empty or "真", else (or when none is recorded) `default_location` with its
// "GetReg(" token resolved. The previous location is looked up in the 64-bit view, then in the
// 32-bit view, where an Uninstall entry written for the 32-bit view lies on 64-bit Windows.
std::string InitialInstallDirectory(std::string_view prefer_previous,
                                    std::string_view product_name,
                                    std::string_view default_location,
                                    const RegistryTextReader& registry);

// `text` with its first "GetReg(" … ")" token, and every repetition of that same token, replaced by
// the registry text the reference names. No closing ")" or an empty reference: unchanged.
std::string ResolveRegistryToken(std::string_view text, const RegistryTextReader& registry);

// The finish options of data.ini: the listed options, or (when the list is empty) the main
// program, run-program and web options.
std::vector<FinishOption> ReadFinishOptions(const ProfileText& ini, std::string_view product_name,
                                            std::string_view version,
                                            std::string_view main_program);

// Tops of the finish check boxes, in option order: visible boxes stand 26 apart from `top` with
// no gap for hidden ones.
std::vector<int> FinishOptionTops(const std::vector<FinishOption>& options, int top);

// "基本组件勾选" split at the full-width comma: the first three parts, missing ones empty.
std::array<std::string, 3> SplitBasicChecks(std::string_view text);

// A byte count as the directory page shows it: "999B", "0.98KB", "1.5GB".
std::string SizeText(uint64_t bytes);

// The title of the installing page.
std::string InstallingTitle(std::string_view product_name);
