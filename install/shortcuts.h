// The product's shortcuts: which kinds of link the user allowed, where each ShortcutSpec is placed,
// and the shell operations that write .lnk files and pin the main program to the taskbar. The
// decisions are plain functions over texts; the shell work goes through ShortcutEffects.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "environment/variables.h"
#include "install/component_tree.h"
#include "install/install_config.h"

// The shortcut step of the install run: every ShortcutSpec of the process-wide configuration in
// each of its locations, the taskbar pin, and the removal of an empty start-menu folder.
void CreateShortcuts();

// The target text that names the uninstaller, which does not exist yet when the links are made.
inline constexpr std::string_view kUninstallerTarget = "%Uninst.exe%";
inline constexpr std::string_view kUninstallerFile = "uninst.exe";
// The component whose next three items govern the three kinds of link when no item is marked.
inline constexpr std::string_view kBasicComponent = "基本组件";
inline constexpr std::string_view kShortcutLogPrefix = "创建快捷方式: ";
inline constexpr std::string_view kShortcutRefusedPrefix = "拒绝创建快捷方式: ";

// The three switches (desktop, start menu, quick launch): 1 allows that kind of link.
struct ShortcutSwitches {
  int desktop = 0;
  int start_menu = 0;
  int quick_launch = 0;
  bool DesktopAllowed() const { return desktop == 1; }
  bool StartMenuAllowed() const { return start_menu == 1; }
  bool QuickLaunchAllowed() const { return quick_launch == 1; }
};

// A plug-in's switch text ("d$，s$，q") wins when it is not empty; otherwise the check state of the
// first item marked for each kind, or of the item 1, 2 or 3 places after "基本组件" (-1 when there
// is no such item).
ShortcutSwitches DecideShortcutSwitches(std::string_view plugin_text, const ComponentTree& tree);

// The folders of a location: full-width commas separate like ASCII ones, and "%AC%" stands for a
// full-width comma inside a folder name. Variables are not expanded here.
std::vector<std::string> ShortcutFolders(std::string_view location);

// The quick-launch folder under the user profile: the Vista layout when that folder exists or the
// Windows version is 6 or higher (where "%QuickLaunch%" names it, even before anything made it),
// else the older one.
std::string QuickLaunchFolderFor(std::string_view user_profile, double windows_version,
                                 const std::function<bool(const std::string&)>& folder_exists);
std::string QuickLaunchFolder();

// The link file's path: ".lnk" appended unless the path already holds it (any letter case).
std::string LinkFilePath(std::string_view link_path);
// The working directory of a link: the target's folder with its final backslash; empty when the
// target has no backslash (no link can be made then).
std::string LinkWorkingDirectory(std::string_view target);

// Two folder texts name the same folder when they agree once trailing backslashes are dropped
// (special folders end with one, expanded variables do not).
bool SameFolder(std::string_view a, std::string_view b);

// Why a link of `name` in the expanded `folder` must not be made, or empty when it may: a folder
// that still holds a variable ("%Name%") or is no full path would resolve against the current
// folder of the process, and a name with a folder part would leave the folder.
std::string ShortcutRefusal(std::string_view folder, std::string_view name);

// Everything the placement decisions read.
struct ShortcutContext {
  std::string install_dir;          // without trailing backslash
  std::string desktop_folder;       // special folder 3
  std::string programs_folder;      // special folder 6, ends with a backslash
  std::string quick_launch_folder;
  std::string product_name;
  std::string start_menu_name;      // set by a plug-in; replaces the product name
  std::string main_program;         // "包内的程序名"
  bool generate_uninstaller = false;
  double windows_version = 0;
  ShortcutSwitches switches;
  const VariableTable* variables = nullptr;             // each folder is expanded with it
  std::function<bool(const std::string&)> file_exists;  // targets in the install directory
};

// One link of one ShortcutSpec in one folder.
struct PlannedLink {
  std::string folder;     // created before the link, even when the link is dropped
  std::string link_path;  // folder + "\" + name
  bool create = false;    // false: dropped, or the target is missing
  bool log = false;       // the "创建快捷方式: " line is written
  std::string refused;    // why neither the folder nor the link is made (logged); empty: placed
  std::string target;     // full path
  std::string arguments;
  std::string icon;       // full path, or empty
  std::string description;
};

struct ShortcutPlan {
  bool pin = false;                   // pin the main program to the taskbar
  std::string pin_folder, pin_file;   // the program's folder and file name
  std::vector<PlannedLink> links;     // in spec order, then folder order
  std::string start_menu_folder;      // the product's own; removed afterwards when empty
};

// The plan for `specs` in order. A "%Uninst.exe%" target becomes "uninst.exe" in the spec when
// the install generates the uninstaller.
ShortcutPlan PlanShortcuts(std::vector<ShortcutSpec>& specs, const ShortcutContext& context);

// The shell side of the step; the real one works through the Windows shell, tests record calls.
class ShortcutEffects {
 public:
  virtual ~ShortcutEffects() = default;
  virtual void CreateFolder(const std::string& folder) = 0;
  virtual bool CreateShortcut(const std::string& link_path, const std::string& target,
                              const std::string& arguments, const std::string& icon,
                              int window_style, const std::string& description,
                              const std::string& hotkey) = 0;
  virtual void PinToTaskbar(const std::string& folder, const std::string& file, int pin) = 0;
  virtual bool FolderIsEmpty(const std::string& folder) = 0;
  virtual void RemoveFolder(const std::string& folder) = 0;
};
ShortcutEffects& SystemShortcutEffects();

// Carries out a plan: pin, folders and links in order (each created link preceded by its log
// line when the plan says so, each refused one replaced by a line saying why), then the empty
// start-menu folder is removed.
void CarryOutShortcutPlan(const ShortcutPlan& plan, ShortcutEffects& effects,
                          const std::function<void(const std::string&)>& log);

// The context of this machine: special folders, the quick-launch folder, the Windows version,
// the switches from `switch_text` or the tree, and the variable table of start-up.
ShortcutContext SystemShortcutContext(const InstallConfig& config, const std::string& install_dir,
                                      const std::string& switch_text,
                                      const std::string& start_menu_name,
                                      const ComponentTree& tree);

// The whole step: plan, then carry it out.
void CreateShortcutsWith(std::vector<ShortcutSpec>& specs, const ShortcutContext& context,
                         ShortcutEffects& effects,
                         const std::function<void(const std::string&)>& log);

// ---- The shell operations (Windows; the native build makes no link and pins nothing) ----

// Writes one .lnk through the shell's script host object; false when no link was written.
bool CreateOneShortcut(const std::string& link_path, const std::string& target,
                       const std::string& arguments, const std::string& icon, int window_style,
                       const std::string& description, const std::string& hotkey);
// The properties of one .lnk as the shell object takes them.
struct ShellLinkFields {
  std::string target;
  std::string working_dir;
  std::string icon_location;  // "file,index"
  int window_style = 0;
  std::string description;
  std::string arguments;
  std::string hotkey;
};
// Saves the link file through "WScript.Shell"; false when the object, the link or its target
// could not be set, or the file was not saved.
bool WriteShellLink(const std::string& link_file, const ShellLinkFields& fields);
// Pin flag 1 pins `file` of `folder` to the taskbar, 0 unpins it. A file name with a folder part
// is looked up in that sub-folder. Nothing happens where the shell offers no such verb.
void PinToTaskbar(const std::string& folder, const std::string& file, int pin);
// True when the folder holds no file and no sub-folder (a missing folder counts as not empty).
bool FolderIsEmpty(const std::string& folder);
