// Reading "data.ini" and the files beside it into InstallConfig. The order of the reads follows
// the order in which the configuration's own keys depend on each other (the install directory
// needs the product name, the finish options need the name, version and main program).
#include "install/install_config.h"

#include <limits>

#include "environment/system.h"
#include "install/registry_path.h"
#include "package/container.h"
#include "package/package_keys.h"
#include "package/startup.h"
#include "runtime/data_cipher.h"
#include "runtime/files.h"
#include "runtime/profile.h"

namespace {

constexpr const char* kMainSection = "墨桐软件安装配置";
constexpr const char* kLicenceItem = "自述文本_开始";
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr std::string_view kRegistryToken = "GetReg(";
constexpr int kDefaultFinishTop = 132;
constexpr int kFinishRowHeight = 26;
// A count key names how many numbered items a list section holds. Each item costs a handful of
// look-ups even when its keys are missing, so an absurd count is cut to a bound far above any
// real list instead of keeping the installer busy for minutes.
constexpr int64_t kMaxListItems = 10000;

bool IsTrue(std::string_view value) { return value == "真"; }

int ToInt(std::string_view value) {
  int64_t n = TextToInt(value);
  if (n > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (n < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(n);
}

int64_t ListCount(const ProfileText& ini, std::string_view section, std::string_view key) {
  int64_t n = TextToInt(ini.Get(section, key));
  if (n < 0) return 0;
  return n > kMaxListItems ? kMaxListItems : n;
}

std::string Numbered(std::string_view stem, int64_t i) { return std::string(stem) + IntToText(i); }

Bytes ReadFileOrEmpty(const std::string& path) {
  Bytes content;
  if (!ReadWholeFile(path, content)) content.clear();
  return content;
}

// The licence item shares data.ini with the INI text; the INI reading must not see its lines, or
// a licence line such as "[ml]" or "次数=9" would change the configuration.
std::string WithoutLicenceItem(const Bytes& data_ini) {
  const std::string start = Marker(kLicenceItem);
  const size_t begin = FindBytes(data_ini, start);
  if (begin == std::string::npos) return data_ini;
  const std::string end = std::string(kLicenceItem) + "end";
  const size_t stop = FindBytes(data_ini, end, begin + start.size());
  if (stop == std::string::npos) return data_ini.substr(0, begin);
  return data_ini.substr(0, begin) + data_ini.substr(stop + end.size());
}

std::vector<ShortcutSpec> ReadShortcuts(const ProfileText& ini) {
  const std::string_view s = "新建快捷方式参数";
  std::vector<ShortcutSpec> list;
  const int64_t n = ListCount(ini, s, "欲运行的次数");
  for (int64_t i = 1; i <= n; ++i) {
    ShortcutSpec spec;
    spec.name = ini.Get(s, Numbered("参数快捷方式名", i));
    spec.target = ini.Get(s, Numbered("参数文件名", i));
    spec.arguments = ini.Get(s, Numbered("参数命令行", i));
    spec.location = ini.Get(s, Numbered("参数生成位置", i));
    spec.remove_on_uninstall = IsTrue(ini.Get(s, Numbered("参数是否卸载", i)));
    spec.icon = ini.Get(s, Numbered("快捷方式图标", i));
    spec.description = ini.Get(s, Numbered("快捷方式描述", i));
    list.push_back(std::move(spec));
  }
  return list;
}

void ReadRunCommands(const ProfileText& ini, InstallConfig& c) {
  const std::string_view s = "解压后运行的参数";
  const int64_t n = ListCount(ini, s, "欲运行的次数");
  for (int64_t i = 1; i <= n; ++i) {
    RunCommand run;
    run.external = IsTrue(ini.Get(s, Numbered("是否外部运行", i)));
    run.command = ReplaceAll(ini.Get(s, Numbered("参数运行文件名", i)), "**", "\"");
    run.hidden = IsTrue(ini.Get(s, Numbered("是否隐藏窗口", i)));
    run.wait = IsTrue(ini.Get(s, Numbered("是否等待返回", i)));
    run.phase = ini.Get(s, Numbered("作用方案", i));
    if (run.phase == kAfterExtractionPhase) {
      c.after_extraction.push_back(std::move(run));
    } else {
      c.before_install.push_back(std::move(run));
    }
  }
}

std::vector<UninstallCommand> ReadUninstallCommands(const ProfileText& ini) {
  const std::string_view s = "卸载时运行命令";
  std::vector<UninstallCommand> list;
  const int64_t n = ListCount(ini, s, "欲运行的次数");
  for (int64_t i = 1; i <= n; ++i) {
    UninstallCommand cmd;
    cmd.external = ini.Get(s, Numbered("是否外部运行", i));
    cmd.command = ini.Get(s, Numbered("参数运行文件名", i));
    cmd.hidden = IsTrue(ini.Get(s, Numbered("是否隐藏窗口", i)));
    cmd.wait = IsTrue(ini.Get(s, Numbered("是否等待返回", i)));
    list.push_back(std::move(cmd));
  }
  return list;
}

std::vector<std::string> ReadUninstallOptions(const ProfileText& ini) {
  const std::string_view s = "卸载选项_列表";
  std::vector<std::string> rows;
  rows.push_back(ini.Get(s, "y"));
  const int64_t n = ListCount(ini, s, "次数");
  for (int64_t i = 1; i <= n; ++i) {
    rows.push_back(ini.Get(s, Numbered("标题", i)) + "$," + ini.Get(s, Numbered("可视", i)) + "$," +
                   ini.Get(s, Numbered("选中", i)) + "$," + ini.Get(s, Numbered("程序", i)));
  }
  return rows;
}

// Quoted path of a program inside the install directory, resolved when the option runs.
std::string InstallPathCommand(std::string_view relative) {
  return "\"%InstallPath%\\" + std::string(relative) + "\"";
}

}  // namespace

bool ConfigImage::IsPng() const { return StartsWith(bytes, "\x89PNG"); }

RegistryTextReader SystemRegistryReader() {
  return [](int root, const std::string& value_path) {
    if (root & kRootIn32BitView)
      return ReadRegistryText(root & ~kRootIn32BitView, value_path, RegistryView::k32);
    return ReadRegistryText(root, value_path);
  };
}

std::string ResolveRegistryToken(std::string_view text, const RegistryTextReader& registry) {
  const size_t open = FindText(text, kRegistryToken);
  if (open == std::string_view::npos) return std::string(text);
  const size_t ref_begin = open + kRegistryToken.size();
  const size_t close = FindText(text, ")", ref_begin);
  if (close == std::string_view::npos || close == ref_begin) return std::string(text);
  const std::string_view reference = text.substr(ref_begin, close - ref_begin);
  const RegistryPath path = ParseRegistryPath(reference, false);
  std::string value;
  if (path.root > 0 && registry) value = registry(path.root, path.sub_key);
  const std::string_view token = text.substr(open, close + 1 - open);
  return ReplaceAll(text, token, value);
}

std::string InitialInstallDirectory(std::string_view prefer_previous,
                                    std::string_view product_name,
                                    std::string_view default_location,
                                    const RegistryTextReader& registry) {
  std::string dir;
  if ((prefer_previous.empty() || IsTrue(prefer_previous)) && registry) {
    const std::string value_path =
        std::string(kUninstallKey) + std::string(product_name) + "\\InstallLocation";
    dir = registry(4, value_path);
    if (dir.empty()) dir = registry(4 + kRootIn32BitView, value_path);
  }
  if (dir.empty()) dir = ResolveRegistryToken(default_location, registry);
  return dir;
}

std::vector<FinishOption> ReadFinishOptions(const ProfileText& ini, std::string_view product_name,
                                            std::string_view version,
                                            std::string_view main_program) {
  std::vector<FinishOption> options;
  const std::string_view list = "完成后选项_列表";
  const int64_t n = ListCount(ini, list, "次数");
  // Only a count of exactly 0 (or none) brings the fixed options; a negative one lists nothing.
  if (TextToInt(ini.Get(list, "次数")) == 0) {
    if (!main_program.empty() && IsTrue(ini.Get("完成后选项_主运行程序", "显示"))) {
      FinishOption o;
      o.title = "运行 " + std::string(product_name) + " " + std::string(version);
      o.command = InstallPathCommand(main_program);
      o.visible = true;
      o.ticked = true;
      options.push_back(std::move(o));
    }
    const std::string_view run = "完成后选项_执行程序";
    const std::string program = ini.Get(run, "文件路径");
    if (!program.empty()) {
      FinishOption o;
      o.title = ini.Get(run, "选项标题");
      o.command = InstallPathCommand(program);
      o.visible = IsTrue(ini.Get(run, "显示"));
      o.ticked = true;
      options.push_back(std::move(o));
    }
    const std::string_view web = "完成后选项_访问网络";
    const std::string address = ini.Get(web, "网页地址");
    if (!address.empty()) {
      FinishOption o;
      o.title = ini.Get(web, "选项标题");
      o.command = StartsWith(address, "http") ? address : "http://" + address;
      o.visible = IsTrue(ini.Get(web, "显示"));
      o.ticked = true;
      options.push_back(std::move(o));
    }
  }
  for (int64_t i = 1; i <= n; ++i) {
    FinishOption o;
    o.title = ini.Get(list, Numbered("标题", i));
    o.visible = IsTrue(ini.Get(list, Numbered("可视", i)));
    o.ticked = IsTrue(ini.Get(list, Numbered("选中", i)));
    o.command = ini.Get(list, Numbered("程序", i));
    options.push_back(std::move(o));
  }
  return options;
}

std::vector<int> FinishOptionTops(const std::vector<FinishOption>& options, int top) {
  std::vector<int> tops;
  int hidden = 0;
  for (size_t k = 0; k < options.size(); ++k) {
    if (!options[k].visible) --hidden;
    tops.push_back((static_cast<int>(k) + hidden) * kFinishRowHeight + top);
  }
  return tops;
}

std::array<std::string, 3> SplitBasicChecks(std::string_view text) {
  std::array<std::string, 3> parts;
  const std::vector<std::string> pieces = SplitText(text, "，");
  for (size_t j = 0; j < parts.size() && j < pieces.size(); ++j) parts[j] = pieces[j];
  return parts;
}

std::string SizeText(uint64_t bytes) {
  const size_t digits = std::to_string(bytes).size();
  uint64_t unit = 1;
  const char* suffix = "B";
  if (digits >= 13) {
    unit = uint64_t{1} << 40;
    suffix = "TB";
  } else if (digits >= 10) {
    unit = uint64_t{1} << 30;
    suffix = "GB";
  } else if (digits >= 7) {
    unit = uint64_t{1} << 20;
    suffix = "MB";
  } else if (digits >= 4) {
    unit = 1024;
    suffix = "KB";
  }
  // Hundredths of the unit, rounded half up, without overflowing for the largest counts.
  const uint64_t whole = bytes / unit;
  const uint64_t rest = bytes % unit;
  uint64_t hundredths = whole * 100 + (rest * 100 + unit / 2) / unit;
  std::string text = std::to_string(hundredths / 100);
  const uint64_t fraction = hundredths % 100;
  if (fraction != 0) {
    text += '.';
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return text + suffix;
}

std::string InstallingTitle(std::string_view product_name) {
  return "“" + std::string(product_name) + "”正在安装，请稍后…";
}

InstallConfig ReadInstallConfig(const std::string& config_dir, const CommandLineChoices& choices,
                                const RegistryTextReader& registry) {
  InstallConfig c;
  // Without a configuration directory there is nothing to read, and a bare file name would be
  // looked for in whatever folder the process happens to run in.
  auto file = [&](const char* name) {
    return config_dir.empty() ? Bytes() : ReadFileOrEmpty(config_dir + name);
  };
  const Bytes data_ini = file("data.ini");
  const ProfileText ini(WithoutLicenceItem(data_ini));
  auto main = [&](std::string_view key) { return ini.Get(kMainSection, key); };

  c.product_name = main("墨桐软件名称");
  c.archive_name = main("压缩包文件名");
  c.company_name = main("公司名称");
  c.append_folder_name = main("浏览目录自动添加");
  c.prefer_previous_location = main("选择框_优先二次路径");
  if (!choices.install_dir.empty()) {
    c.install_dir = choices.install_dir;
  } else {
    c.install_dir = InitialInstallDirectory(c.prefer_previous_location, c.product_name,
                                            main("安装位置"), registry);
  }
  c.agree_preset = IsTrue(main("同意条款k"));
  c.version = main("软件版本");
  c.password_digest = main("安装密码");
  c.main_program = main("包内的程序名");

  c.picture.bytes = file("界面图片.jpg");
  c.small_picture.bytes = file("界面小图片.jpg");
  c.large_picture.bytes = file("界面大图片.jpg");
  c.installing_picture.bytes = file("界面安装时图像.jpg");
  c.uninstaller_icon = file("卸载程序图标.ico");
  c.setup_icon = file("setup.ico");

  c.generate_uninstaller = ToInt(main("是否生成卸载程序"));
  c.data_password = main("safe");
  const Bytes enciphered_store = file("choomarlowe.ini");
  if (!enciphered_store.empty()) c.script_store = DecipherData(enciphered_store, kScriptStorePassword);
  c.taskbar_progress = IsTrue(main("任务栏进度"));
  c.log_display = ToInt(main("安装过程_列表"));
  c.uninstall_mode = main("卸载模式");
  c.registry_view = IsTrue(main("I_reg")) ? 64 : 32;

  c.switch_direct = ini.Get("安装包命令行", "jp");
  c.switch_hide_end = ini.Get("安装包命令行", "hideend");
  c.switch_hidden = ini.Get("安装包命令行", "hp");
  c.exclusions = file("Except.ini");
  c.uninstall_options = ReadUninstallOptions(ini);
  c.no_double_byte_path = ini.Get("ml", "ch");
  c.required_entry = ini.Get("ml", "zwj");
  c.components_page_visible = IsTrue(ini.Get("界面_可视", "选择组件可视"));
  c.directory_page_visible = IsTrue(ini.Get("界面_可视", "浏览目录可视"));
  c.auto_append_folder = IsTrue(main("自动添加路径"));

  c.install_mode = !choices.install_mode.empty() ? choices.install_mode : main("安装模式");
  if (choices.show_finish_page != 0) {
    c.show_finish_page = choices.show_finish_page;
  } else {
    c.show_finish_page = IsTrue(main("安装后是否显示完成界面")) ? 1 : -1;
  }
  c.basic_checks = SplitBasicChecks(main("基本组件勾选"));

  c.shortcuts = ReadShortcuts(ini);
  c.finish_options = ReadFinishOptions(ini, c.product_name, c.version, c.main_program);
  const int top = ToInt(ini.Get("完成后选项_列表", "y"));
  c.finish_options_top = top == 0 ? kDefaultFinishTop : top;
  ReadRunCommands(ini, c);
  c.uninstall_commands = ReadUninstallCommands(ini);

  Bytes licence;
  if (GetItem(data_ini, kLicenceItem, licence) && !IsEmptyItemValue(licence)) c.licence = licence;
  return c;
}

InstallConfig& CurrentInstallConfig() {
  static InstallConfig config;
  return config;
}

const InstallConfig& LoadInstallConfig(StartupState& startup, const RegistryTextReader& registry) {
  CommandLineChoices choices;
  choices.install_dir = startup.install_dir_override;
  choices.install_mode = startup.install_mode;
  choices.show_finish_page = startup.show_finish_page;
  InstallConfig& config = CurrentInstallConfig();
  config = ReadInstallConfig(startup.config_dir, choices, registry);
  startup.install_mode = config.install_mode;
  startup.show_finish_page = config.show_finish_page;
  return config;
}
