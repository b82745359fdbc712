// The uninstall record read back: "uninst.ini" (its INI text with the file and registry items after
// it) and the carried data of the "uninst_dat" group, as the uninstaller finds them in its working
// folder. Absent keys read as empty texts and zero counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"

// A command run before anything is removed.
struct UninstallRunCommand {
  bool external = false;  // used as written; otherwise taken relative to the install directory
  std::string command;
  bool hidden = false;
  bool wait = false;
};

// An option check box of the uninstall page. The program has "&&" turned into CR LF and "**"
// into a double quote.
struct UninstallOptionRecord {
  std::string title;
  bool visible = false;
  bool ticked = false;
  std::string program;
};

// One line of the registry list: the key part and the registry view ("64", "32" or empty).
struct RegistryRemoval {
  std::string key;
  std::string view;
};

struct UninstallRecord {
  std::string product_name;    // "软件名称"
  std::string version;         // "软件版本"
  std::string main_program;    // "主程序名"
  std::string install_dir;     // "卸载路径" of the INI text
  std::string start_menu_name;  // "开始菜单栏名称"
  std::string uninstall_mode;  // "卸载模式"
  int64_t shortcut_count = 0;  // "快捷方式个数"
  std::vector<std::string> shortcut_files;  // the pieces of "快捷方式"1..N in order
  std::string switch_direct, switch_hide_end, switch_hidden;  // "jp", "hideend", "hp"
  std::vector<UninstallRunCommand> commands;
  // The options: K entries; without a "y" that splits into left and top they stay empty.
  bool options_placed = false;
  int options_left = 0, options_top = 0;
  std::vector<UninstallOptionRecord> options;
  std::vector<std::string> files;  // item "卸载路径" split at CR LF (empty entries kept)
  std::vector<RegistryRemoval> registry;  // item "卸载注册表", marker lines skipped
  // Item "卸载注册表项": the keys the install made, parent before child.
  std::vector<RegistryRemoval> made_keys;
};

UninstallRecord ReadUninstallRecord(std::string_view record);

// The four files the "uninst_dat" group carries, in order, and the pieces of its content (each
// piece k is written as file k; missing pieces are empty files).
inline constexpr const char* kUninstallDataFiles[4] = {"QEVDLL_s.ini", "QEVDLL.db", "var_data.ini",
                                                       "variable.ini"};
std::vector<Bytes> SplitUninstallData(std::string_view content);
