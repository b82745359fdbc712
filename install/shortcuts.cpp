// Where the product's links go and which of them the user's choices drop; the shell work itself is
// in shortcuts_win32.cpp.
#include "install/shortcuts.h"

#include "environment/system.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace {

constexpr int kFolderDesktop = 3;
constexpr int kFolderPrograms = 6;
// The pin needs the taskbar of Windows 7; version numbers are compared with a small tolerance.
constexpr double kPinVersion = 6.0 - 0.0000001;

int SwitchValue(std::string_view text) {
  const int64_t n = TextToInt(text);
  return (n > INT32_MAX || n < INT32_MIN) ? 0 : static_cast<int>(n);
}

std::string WithoutTrailingBackslashes(std::string text) {
  while (EndsWithBackslash(text)) text.pop_back();
  return text;
}

// "%" + a name + "%" with no separator inside, stepping over double-byte characters (a trail
// byte may be 0x5C, never 0x25).
bool HoldsVariable(std::string_view text) {
  size_t open = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      ++i;
    } else if (c == '%') {
      if (open != std::string_view::npos && i > open + 1) return true;
      open = i;
    } else if (c == '\\' || c == '/') {
      open = std::string_view::npos;
    }
  }
  return false;
}

// "X:\..." or "\\server\share...".
bool IsFullPath(std::string_view path) {
  const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
                     path[1] == ':' && path[2] == '\\';
  return drive || (path.size() > 2 && path[0] == '\\' && path[1] == '\\');
}

}  // namespace

std::string ShortcutRefusal(std::string_view folder, std::string_view name) {
  if (HoldsVariable(folder)) return "位置中有未知的变量";
  if (!IsFullPath(folder)) return "位置不是完整路径";
  bool separator = false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c) && i + 1 < name.size()) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      separator = true;
    }
  }
  // A name of dots and blanks alone ("..") names the folder above once Windows trims it.
  if (separator || name.find_first_not_of(". ") == std::string_view::npos) return "名称不是文件名";
  return std::string();
}

ShortcutSwitches DecideShortcutSwitches(std::string_view plugin_text, const ComponentTree& tree) {
  int values[3] = {0, 0, 0};
  if (!plugin_text.empty()) {
    const std::vector<std::string> parts = SplitText(plugin_text, "$，");
    for (size_t i = 0; i < 3 && i < parts.size(); ++i) values[i] = SwitchValue(parts[i]);
  } else {
    const int basic = tree.Find(kBasicComponent);
    for (int mark = kMarkDesktop; mark <= kMarkQuickLaunch; ++mark) {
      int position = -1;
      for (int p = 0; p < static_cast<int>(tree.Size()); ++p) {
        if (tree.At(p)->mark == mark) {
          position = p;
          break;
        }
      }
      // Without a marked item the three items after "基本组件" govern the kinds in order; a tree
      // without that item has no governing item at all.
      if (position < 0 && basic >= 0) position = basic + mark;
      values[mark - 1] = tree.CheckState(position);
    }
  }
  return ShortcutSwitches{values[0], values[1], values[2]};
}

std::vector<std::string> ShortcutFolders(std::string_view location) {
  std::string text = ReplaceAll(location, "，", ",");
  text = ReplaceAll(text, "%AC%", "，");
  return SplitText(text, ",");
}

std::string QuickLaunchFolderFor(std::string_view user_profile, double windows_version,
                                 const std::function<bool(const std::string&)>& folder_exists) {
  const std::string profile(user_profile);
  std::string folder = profile + "\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";
  // A fresh profile has no such folder yet; judged by existence alone, links placed there through
  // "%QuickLaunch%" would escape the quick-launch choice.
  if (windows_version >= 6.0) return folder;
  if (folder_exists && folder_exists(folder)) return folder;
  return profile + "\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch";
}

std::string QuickLaunchFolder() {
  return QuickLaunchFolderFor(EnvironmentVariable("userprofile"), WindowsVersion(),
                              [](const std::string& path) { return FolderExists(path); });
}

std::string LinkFilePath(std::string_view link_path) {
  std::string path(link_path);
  if (!ContainsText(AsciiLower(path), ".lnk")) path += ".lnk";
  return path;
}

std::string LinkWorkingDirectory(std::string_view target) {
  const size_t cut = FindLastText(target, "\\");
  if (cut == std::string_view::npos) return std::string();
  return std::string(target.substr(0, cut + 1));
}

bool SameFolder(std::string_view a, std::string_view b) {
  const std::string left = WithoutTrailingBackslashes(std::string(a));
  const std::string right = WithoutTrailingBackslashes(std::string(b));
  // A special folder the system could not name matches nothing.
  return !left.empty() && left == right;
}

ShortcutPlan PlanShortcuts(std::vector<ShortcutSpec>& specs, const ShortcutContext& context) {
  ShortcutPlan plan;
  const ShortcutSwitches& switches = context.switches;
  const std::string product_menu = context.programs_folder + context.product_name;
  // Without a product name the "product's folder" would be the programs folder itself.
  if (!context.product_name.empty()) plan.start_menu_folder = product_menu;
  if (switches.QuickLaunchAllowed() && !context.main_program.empty() &&
      context.windows_version >= kPinVersion) {
    plan.pin = true;
    plan.pin_folder = context.install_dir;
    plan.pin_file = context.main_program;
  }

  for (ShortcutSpec& spec : specs) {
    // The uninstaller is written after the links, so its links are made without looking for the
    // file, in every folder of the spec.
    bool uninstaller = false;
    if (spec.target == kUninstallerTarget && context.generate_uninstaller) {
      spec.target = std::string(kUninstallerFile);
      uninstaller = true;
    }
    for (const std::string& raw : ShortcutFolders(spec.location)) {
      PlannedLink link;
      link.folder = context.variables ? ExpandText(raw, *context.variables) : raw;
      // An empty folder would put the link into the root of the current drive.
      if (link.folder.empty()) continue;
      if (!context.start_menu_name.empty() && SameFolder(link.folder, product_menu))
        link.folder = context.programs_folder + context.start_menu_name;
      link.link_path = link.folder + "\\" + spec.name;
      link.refused = ShortcutRefusal(link.folder, spec.name);

      const bool dropped =
          (SameFolder(link.folder, context.desktop_folder) && !switches.DesktopAllowed()) ||
          (SameFolder(link.folder, product_menu) && !switches.StartMenuAllowed()) ||
          (SameFolder(link.folder, context.quick_launch_folder) && !switches.QuickLaunchAllowed());
      link.target = context.install_dir + "\\" + spec.target;
      if (!dropped && link.refused.empty()) {
        if (uninstaller) {
          link.create = true;
        } else if (context.file_exists && context.file_exists(link.target)) {
          link.create = true;
          link.log = true;
        }
      }
      link.arguments = spec.arguments;
      if (!spec.icon.empty()) link.icon = context.install_dir + "\\" + spec.icon;
      link.description = spec.description;
      plan.links.push_back(std::move(link));
    }
  }
  return plan;
}

void CarryOutShortcutPlan(const ShortcutPlan& plan, ShortcutEffects& effects,
                          const std::function<void(const std::string&)>& log) {
  if (plan.pin) effects.PinToTaskbar(plan.pin_folder, plan.pin_file, 1);
  for (const PlannedLink& link : plan.links) {
    if (!link.refused.empty()) {
      if (log) log(std::string(kShortcutRefusedPrefix) + link.link_path + " (" + link.refused + ")");
      continue;
    }
    effects.CreateFolder(link.folder);
    if (!link.create) continue;
    if (link.log && log) log(std::string(kShortcutLogPrefix) + link.link_path);
    effects.CreateShortcut(link.link_path, link.target, link.arguments, link.icon, 0,
                           link.description, std::string());
  }
  if (!plan.start_menu_folder.empty() && effects.FolderIsEmpty(plan.start_menu_folder))
    effects.RemoveFolder(plan.start_menu_folder);
}

void CreateShortcutsWith(std::vector<ShortcutSpec>& specs, const ShortcutContext& context,
                         ShortcutEffects& effects,
                         const std::function<void(const std::string&)>& log) {
  CarryOutShortcutPlan(PlanShortcuts(specs, context), effects, log);
}

ShortcutContext SystemShortcutContext(const InstallConfig& config, const std::string& install_dir,
                                      const std::string& switch_text,
                                      const std::string& start_menu_name,
                                      const ComponentTree& tree) {
  ShortcutContext context;
  context.install_dir = install_dir;
  context.desktop_folder = SpecialFolder(kFolderDesktop);
  context.programs_folder = SpecialFolder(kFolderPrograms);
  context.quick_launch_folder = QuickLaunchFolder();
  context.product_name = config.product_name;
  context.start_menu_name = start_menu_name;
  context.main_program = config.main_program;
  context.generate_uninstaller = config.GeneratesUninstaller();
  context.windows_version = WindowsVersion();
  context.switches = DecideShortcutSwitches(switch_text, tree);
  context.variables = &Variables().table;
  context.file_exists = [](const std::string& path) { return FileExists(path); };
  return context;
}

bool CreateOneShortcut(const std::string& link_path, const std::string& target,
                       const std::string& arguments, const std::string& icon, int window_style,
                       const std::string& description, const std::string& hotkey) {
  const std::string link = LinkFilePath(link_path);
  if (FileExists(link)) DeleteFileAt(link);
  const std::string working_dir = LinkWorkingDirectory(target);
  if (working_dir.empty()) return false;
  ShellLinkFields fields;
  fields.target = target;
  fields.working_dir = working_dir;
  fields.icon_location = icon.empty() ? target + ",0" : icon;
  fields.window_style = window_style;
  fields.description = description;
  fields.arguments = arguments;
  fields.hotkey = hotkey;
  return WriteShellLink(link, fields);
}

namespace {

class SystemEffects : public ShortcutEffects {
 public:
  void CreateFolder(const std::string& folder) override { CreateFolderLevels(folder); }
  bool CreateShortcut(const std::string& link_path, const std::string& target,
                      const std::string& arguments, const std::string& icon, int window_style,
                      const std::string& description, const std::string& hotkey) override {
    return CreateOneShortcut(link_path, target, arguments, icon, window_style, description,
                             hotkey);
  }
  void PinToTaskbar(const std::string& folder, const std::string& file, int pin) override {
    ::PinToTaskbar(folder, file, pin);
  }
  bool FolderIsEmpty(const std::string& folder) override { return ::FolderIsEmpty(folder); }
  void RemoveFolder(const std::string& folder) override { RemoveFolderTree(folder); }
};

}  // namespace

ShortcutEffects& SystemShortcutEffects() {
  static SystemEffects effects;
  return effects;
}
