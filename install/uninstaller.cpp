// Generation of the uninstaller at the end of an install: the record texts, then "uninst.exe" and
// "uninst.dat" written in the order the record is read back later.
#include "install/uninstaller.h"

#include <algorithm>

#include "environment/system.h"
#include "install/install_run.h"
#include "install/shortcuts.h"
#include "package/command_line.h"
#include "package/container.h"
#include "package/open_package.h"
#include "package/startup.h"
#include "runtime/files.h"
#include "runtime/profile.h"

namespace {

constexpr int kLauncherResourceId = 100;
constexpr const char* kPluginFolder = "qev_dll";

std::string Numbered(std::string_view key, size_t i) { return std::string(key) + IntToText(int64_t(i)); }

const char* Flag(bool value) { return value ? "真" : "假"; }

// A profile text written key by key, as the profile-string writer would write the file.
class IniWriter {
 public:
  void Set(std::string_view section, std::string_view key, std::string_view value) {
    text_ = SetProfileValue(text_, section, key, value);
  }
  const Bytes& Text() const { return text_; }

 private:
  Bytes text_;
};

}  // namespace

std::string ShortcutRemovalList(const ShortcutSpec& spec, const VariableTable* variables) {
  std::string list;
  for (const std::string& raw : ShortcutFolders(spec.location)) {
    const std::string folder = variables ? ExpandText(raw, *variables) : raw;
    // An empty folder would name a link in the root of the current drive, which the install never
    // made there.
    if (folder.empty()) continue;
    list += LinkFilePath(folder + "\\" + spec.name) + ",";
  }
  return list;
}

Bytes UninstallIniText(const UninstallerSources& sources) {
  const InstallConfig& c = *sources.config;
  IniWriter ini;
  const std::string_view main = kUninstallSection;
  ini.Set(main, "软件名称", c.product_name);
  ini.Set(main, "软件版本", c.version);
  ini.Set(main, "主程序名", c.main_program);
  ini.Set(main, "卸载路径", sources.install_dir);
  ini.Set(main, "快捷方式个数", IntToText(int64_t(c.shortcuts.size())));
  ini.Set(main, "开始菜单栏名称", sources.start_menu_name);
  ini.Set(main, "卸载模式", c.uninstall_mode);

  // The texts the installer itself answered to, defaults included, so "uninst.exe -hp" works
  // wherever "setup.exe -hp" did.
  const auto or_default = [](const std::string& text, const char* fallback) {
    return text.empty() ? std::string(fallback) : text;
  };
  ini.Set(kSwitchSection, "jp", or_default(c.switch_direct, kDefaultDirectSwitch));
  ini.Set(kSwitchSection, "hideend", or_default(c.switch_hide_end, kDefaultHideEndSwitch));
  ini.Set(kSwitchSection, "hp", or_default(c.switch_hidden, kDefaultHiddenSwitch));

  const std::string_view run = kUninstallCommandSection;
  ini.Set(run, "欲运行的次数", IntToText(int64_t(c.uninstall_commands.size())));
  for (size_t i = 1; i <= c.uninstall_commands.size(); ++i) {
    const UninstallCommand& command = c.uninstall_commands[i - 1];
    ini.Set(run, Numbered("是否外部运行", i), command.external);
    ini.Set(run, Numbered("参数运行文件名", i), command.command);
    ini.Set(run, Numbered("是否隐藏窗口", i), Flag(command.hidden));
    ini.Set(run, Numbered("是否等待返回", i), Flag(command.wait));
  }

  for (size_t i = 1; i <= c.shortcuts.size(); ++i) {
    const ShortcutSpec& spec = c.shortcuts[i - 1];
    if (!spec.remove_on_uninstall) continue;
    ini.Set(main, Numbered("快捷方式", i), ShortcutRemovalList(spec, sources.variables));
  }

  const std::string_view options = kUninstallOptionSection;
  const size_t rows = c.uninstall_options.size();
  ini.Set(options, "次数", IntToText(rows > 0 ? int64_t(rows - 1) : 0));
  ini.Set(options, "y", rows > 0 ? c.uninstall_options[0] : std::string());
  for (size_t i = 1; i < rows; ++i) {
    std::vector<std::string> parts = SplitText(c.uninstall_options[i], "$,");
    // A program that itself holds "$," stays whole.
    while (parts.size() > 4) {
      parts[parts.size() - 2] += "$," + parts.back();
      parts.pop_back();
    }
    parts.resize(4);
    ini.Set(options, Numbered("标题", i), parts[0]);
    ini.Set(options, Numbered("可视", i), parts[1]);
    ini.Set(options, Numbered("选中", i), parts[2]);
    ini.Set(options, Numbered("程序", i), parts[3]);
  }
  return ini.Text();
}

std::string UninstallFileList(std::string_view extracted_files, std::string_view install_dir) {
  std::string list(extracted_files);
  if (!list.empty() && !EndsWith(list, "\r\n")) list += "\r\n";
  const std::string dir(install_dir);
  list += dir + "\\" + std::string(kUninstallerIniFile) + "\r\n";
  list += dir + "\\" + std::string(kLauncherFile) + "\r\n";
  list += dir + "\\" + std::string(kUninstallerDataFile);
  return list;
}

Bytes UninstallRecordContent(std::string_view ini_text, std::string_view file_list,
                             std::string_view registry_list, std::string_view registry_keys) {
  Bytes record(ini_text);
  SetItem(record, kFileListItem, file_list);
  SetItem(record, kRegistryListItem, registry_list);
  if (!registry_keys.empty()) SetItem(record, kRegistryKeyListItem, registry_keys);
  return record;
}

std::string RegistryKeysToRecord(std::string_view previous, std::string_view product_name,
                                 std::string_view made_now) {
  Bytes earlier;
  if (previous.empty() || product_name.empty() ||
      ProfileValue(previous, kUninstallSection, "软件名称") != product_name ||
      !GetItem(previous, kRegistryKeyListItem, earlier) || IsEmptyItemValue(earlier)) {
    return std::string(made_now);
  }
  std::vector<std::string> kept = SplitText(made_now, "\r\n");
  std::string keys;
  for (const std::string& line : SplitText(earlier, "\r\n")) {
    if (line.empty() || std::find(kept.begin(), kept.end(), line) != kept.end()) continue;
    kept.push_back(line);
    keys += line + "\r\n";
  }
  return keys + std::string(made_now);
}

Bytes SkinContent(const InstallConfig& config) {
  Bytes skin;
  SetItem(skin, kSmallPictureItem, config.small_picture.bytes);
  SetItem(skin, kLargePictureItem, config.large_picture.bytes);
  SetItem(skin, kNoticeItem, config.company_name);
  SetItem(skin, kSkinDataItem, std::string_view());
  return skin;
}

bool IconResourcesFromFile(std::string_view ico, IconResources& out) {
  const auto u16 = [&](size_t at) {
    return uint32_t(uint8_t(ico[at])) | uint32_t(uint8_t(ico[at + 1])) << 8;
  };
  const auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  constexpr size_t kHeader = 6, kEntry = 16;
  if (ico.size() < kHeader || u16(0) != 0 || u16(2) != 1) return false;
  const size_t count = u16(4);
  if (count == 0 || ico.size() < kHeader + count * kEntry) return false;
  IconResources icon;
  icon.group = Bytes(ico.substr(0, kHeader));
  for (size_t i = 0; i < count; ++i) {
    const size_t e = kHeader + i * kEntry;
    const uint64_t size = u32(e + 8), offset = u32(e + 12);
    if (size == 0 || offset > ico.size() || size > ico.size() - offset) return false;
    icon.group += Bytes(ico.substr(e, 12));  // sizes, colours, planes, bits, bytes in resource
    icon.group += char((i + 1) & 0xFF);      // the image's resource id
    icon.group += char(((i + 1) >> 8) & 0xFF);
    icon.images.emplace_back(ico.substr(size_t(offset), size_t(size)));
  }
  out = std::move(icon);
  return true;
}

void GenerateUninstallerWith(const UninstallerSources& sources,
                             const std::function<void(const std::string&)>& log) {
  const InstallConfig& config = *sources.config;
  const std::string dir = sources.install_dir;
  const std::string launcher_path = dir + "\\" + std::string(kLauncherFile);
  const std::string data_path = dir + "\\" + std::string(kUninstallerDataFile);
  if (log) log(std::string(kUninstallerLogPrefix) + launcher_path);

  // The working file in the plug-in folder, where the plug-ins of the install can read it.
  const std::string plugin_folder = sources.temp_dir + kPluginFolder;
  const bool made_folder = !FolderExists(plugin_folder);
  CreateOneFolder(plugin_folder);
  const std::string working_file = plugin_folder + "\\" + std::string(kUninstallerIniFile);
  DeleteFileAt(working_file);
  const Bytes ini_text = UninstallIniText(sources);
  WriteWholeFile(working_file, ini_text);

  // The record of an earlier install in this folder is replaced: what it knew of the registry
  // keys the product made is carried over first.
  const std::string registry_keys = RegistryKeysToRecord(
      FindBlockBackward(data_path, std::string(kUninstallIniGroup) + "B",
                        std::string(kUninstallIniGroup) + "A"),
      config.product_name, sources.registry_keys);

  // Body: a runnable copy of this program without its package.
  WriteWholeFile(data_path, CutProgramImage(sources.program_path));

  const std::string icon_file = plugin_folder + "\\" + config.product_name + ".ico";
  WriteWholeFile(icon_file, config.uninstaller_icon);

  WriteWholeFile(launcher_path, sources.launcher);
  // The product's uninstall icon becomes the launcher's: Explorer shows it, and the launcher hands
  // it to the uninstall window. The package builder puts it into the launcher this program
  // carries; only a launcher without one is given it here.
  IconResources icon;
  if (IconResourcesFromFile(config.uninstaller_icon, icon) && !ProgramHasIcon(launcher_path))
    SetProgramIcon(launcher_path, icon);

  const std::string file_list = UninstallFileList(sources.extracted_files, dir);
  AppendGroup(data_path, kUninstallDataGroup, sources.carried_data);

  Bytes working;
  if (!ReadWholeFile(working_file, working)) working = ini_text;
  AppendGroup(data_path, kUninstallIniGroup,
              UninstallRecordContent(working, file_list, sources.registry_list, registry_keys));
  AppendGroup(data_path, kSkinGroup, SkinContent(config));
  AppendModeRecord(data_path, kUninstallerModeText);

  // Both working files are complete copies of what "uninst.dat" now holds; a silent install
  // leaves nothing behind in the temporary folder.
  DeleteFileAt(working_file);
  DeleteFileAt(icon_file);
  if (made_folder) RemoveFolderTree(plugin_folder);
}

void GenerateUninstaller() {
  const InstallRunState& run = CurrentInstallRun();
  const VariableRecord& variables = Variables();
  UninstallerSources sources;
  sources.config = &CurrentInstallConfig();
  sources.install_dir = run.install_dir;
  sources.extracted_files = run.extracted_files;
  sources.registry_list = run.uninstall_registry_list;
  sources.registry_keys = run.created_registry_keys;
  sources.start_menu_name = run.start_menu_name;
  sources.carried_data = variables.uninstall_data;
  sources.variables = &variables.table;
  sources.program_path = Startup().program_path;
  sources.launcher = OwnResource("UNINST_DAT", kLauncherResourceId);
  sources.temp_dir = SpecialFolder(kFolderTemp);
  GenerateUninstallerWith(sources, WriteLogLine);
}
