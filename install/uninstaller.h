// The uninstaller an install leaves behind: "uninst.exe" (the launcher carried as a resource) and
// "uninst.dat" (this program's image followed by the uninstall groups and the mode record "qev-2").
// The record's texts are built as plain data, so their layout is tested natively.
//
// Byte map of "uninst.dat" (each group after one 00 byte, as the container appends it):
//
//   setup program image, cut before its own package
//   00 "uninst_datA" 01  plug-in settings #！★！# plug-in list #！★！# var_data #！★！# variables #！★！#  "uninst_datB" 01
//   00 "uninst_iniA" 01  INI text of uninst.ini, item "卸载路径", item "卸载注册表"[, item "卸载注册表项"] "uninst_iniB" 01
//   00 "skinA" 01        items "界面小图片", "界面大图片", "版权", "x皮肤"                                   "skinB" 01
//   00 "QEV-mark=配置包A" 01 "qev-2" "QEV-mark=配置包B" 01
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "environment/variables.h"
#include "install/install_config.h"
#include "runtime/text.h"

// Files of the install directory and of the uninstaller's folders.
inline constexpr std::string_view kUninstallerDataFile = "uninst.dat";
inline constexpr std::string_view kUninstallerIniFile = "uninst.ini";
inline constexpr std::string_view kLauncherFile = "uninst.exe";

// Groups of "uninst.dat".
inline constexpr std::string_view kUninstallDataGroup = "uninst_dat";
inline constexpr std::string_view kUninstallIniGroup = "uninst_ini";
inline constexpr std::string_view kSkinGroup = "skin";

// Items after the INI text of the "uninst_ini" group.
inline constexpr std::string_view kFileListItem = "卸载路径";
inline constexpr std::string_view kRegistryListItem = "卸载注册表";
// The registry keys the install made ("root\sub key$,view" lines), present only when it made
// any: the uninstaller removes those left holding nothing.
inline constexpr std::string_view kRegistryKeyListItem = "卸载注册表项";
// Items of the "skin" group.
inline constexpr std::string_view kSmallPictureItem = "界面小图片";
inline constexpr std::string_view kLargePictureItem = "界面大图片";
inline constexpr std::string_view kNoticeItem = "版权";
inline constexpr std::string_view kSkinDataItem = "x皮肤";

// Sections and keys of "uninst.ini".
inline constexpr std::string_view kUninstallSection = "软件卸载配置";
inline constexpr std::string_view kSwitchSection = "安装包命令行";
inline constexpr std::string_view kUninstallCommandSection = "卸载时运行命令";
inline constexpr std::string_view kUninstallOptionSection = "卸载选项";

// The uninstall modes "卸载模式" may name (the empty text is the normal mode).
inline constexpr std::string_view kUninstallModeDirect = "直接卸载";
inline constexpr std::string_view kUninstallModeBackground = "后台卸载";

inline constexpr std::string_view kUninstallerLogPrefix = "创建卸载程序: ";

// Everything the generation reads.
struct UninstallerSources {
  const InstallConfig* config = nullptr;
  std::string install_dir;         // without trailing backslash
  std::string extracted_files;     // one path per line, each ended by CR LF
  std::string registry_list;       // UninstallRegistryList
  std::string registry_keys;       // the keys the registry step made, one line each
  std::string start_menu_name;     // set by a plug-in; empty when none
  Bytes carried_data;              // content of the "uninst_dat" group
  const VariableTable* variables = nullptr;  // expands the shortcut folders
  std::string program_path;        // the running setup program
  Bytes launcher;                  // the "UNINST_DAT" 100 resource
  std::string temp_dir;            // ends with a backslash
};

// The INI text of "uninst.ini" (sections "软件卸载配置", "安装包命令行", "卸载时运行命令",
// "卸载选项"), as the profile-string writer lays it out.
Bytes UninstallIniText(const UninstallerSources& sources);

// The .lnk paths of one shortcut marked for removal: every non-empty folder of its location,
// expanded, each path followed by ",".
std::string ShortcutRemovalList(const ShortcutSpec& spec, const VariableTable* variables);

// Item "卸载路径": the extracted files, then the three uninstaller files of the install
// directory, lines separated by CR LF, no line end after the last.
std::string UninstallFileList(std::string_view extracted_files, std::string_view install_dir);

// The "uninst_ini" group content: the INI text followed by the two items, and the item of made
// registry keys when there are any.
Bytes UninstallRecordContent(std::string_view ini_text, std::string_view file_list,
                             std::string_view registry_list, std::string_view registry_keys = {});

// The made keys to record: those an earlier install of the same product recorded (`previous`, the
// "uninst_ini" group this install replaces), then those of this install, each once. A reinstall
// finds the keys the first install made already there, and must not forget them.
std::string RegistryKeysToRecord(std::string_view previous, std::string_view product_name,
                                 std::string_view made_now);

// The "skin" group content.
Bytes SkinContent(const InstallConfig& config);

// An icon file (.ico) as the resources that make it a program's icon: the group (GRPICONDIR with
// one entry per image, image ids 1..n) and the images in order. False when the file is no icon.
struct IconResources {
  Bytes group;
  std::vector<Bytes> images;
};
bool IconResourcesFromFile(std::string_view ico, IconResources& out);
// Makes `icon` the first (and only) icon of the program file; false when the file could not be
// changed (the native build changes nothing).
bool SetProgramIcon(const std::string& program, const IconResources& icon);
// True when the program file carries an icon group (the native build says false).
bool ProgramHasIcon(const std::string& program);

// The step of the install run over the process-wide records: the log line, "uninst.exe" and
// "uninst.dat" in the install directory.
void GenerateUninstaller();
// The same from the given sources; `log` receives the log line.
void GenerateUninstallerWith(const UninstallerSources& sources,
                             const std::function<void(const std::string&)>& log);
