// Making the configuration files of a package from the product description (GBK results).
#include "tools/config_files.h"

#include <algorithm>
#include <map>

#include "package/container.h"
#include "tools/ini_document.h"

namespace {

const char kMainSection[] = "墨桐软件安装配置";
const char kLicenceItem[] = "自述文本_开始";
const char kPluginSeparator[] = "墨桐DLL分割标记";

std::string Flag(bool b) { return b ? "真" : "假"; }

// Value of an item in `bytes`, npos-safe: found is false when the item is absent.
bool FindItem(const std::string& bytes, const std::string& name, std::string& value,
              size_t* begin = nullptr, size_t* end = nullptr) {
  const std::string start = name + '\x01';
  size_t s = bytes.find(start);
  if (s == std::string::npos) return false;
  size_t e = bytes.find(name + "end", s + start.size());
  if (e == std::string::npos) return false;
  value = bytes.substr(s + start.size(), e - s - start.size());
  if (begin) *begin = s;
  if (end) *end = e + name.size() + 3;
  return true;
}

void RemoveItem(std::string& bytes, const std::string& name) {
  std::string old;
  size_t b = 0, e = 0;
  if (FindItem(bytes, name, old, &b, &e)) bytes.erase(b, e - b);
}

std::string Number(long long n) { return std::to_string(n); }

std::string HexToBytes(const std::string& text) {
  std::string out;
  int high = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;  // blanks, commas and colons may group the digits
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  return out;
}

// Description texts write a line break as "\n".
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

}  // namespace

std::string ItemBytes(const std::string& name, const std::string& value) {
  return AppendItem("", name, value);
}

std::string CrLfLines(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::string BuildDataIni(const ProductDescription& d, const DataLayout& layout,
                         const std::string& given, const std::string& licence,
                         const GbkConvert& gbk,
                         const std::function<std::string(const std::string&)>& md5) {
  // A given data.ini may carry the licence item behind its INI text; keep it apart.
  std::string ini_text = given;
  std::string licence_item;
  {
    std::string value;
    size_t b = 0, e = 0;
    if (FindItem(ini_text, kLicenceItem, value, &b, &e)) {
      licence_item = ini_text.substr(b, e - b);
      ini_text.erase(b, e - b);
    }
  }
  if (!licence.empty()) licence_item = ItemBytes(kLicenceItem, licence);

  IniDocument ini;
  ini.Parse(ini_text);
  const std::string m = kMainSection;
  ini.Set(m, "墨桐软件名称", gbk(d.name));
  ini.Set(m, "软件版本", gbk(d.version));
  ini.Set(m, "公司名称", gbk(d.company));
  ini.Set(m, "包内的程序名", gbk(d.main_program));
  ini.Set(m, "安装位置", gbk(d.install_dir));
  if (!d.archive_name.empty()) ini.Set(m, "压缩包文件名", gbk(d.archive_name));
  ini.Set(m, "是否生成卸载程序", d.uninstaller ? "1" : "0");
  if (!d.uninstall_mode.empty()) ini.Set(m, "卸载模式", gbk(d.uninstall_mode));
  if (!d.data_password.empty()) ini.Set(m, "safe", gbk(d.data_password));
  if (!d.install_password.empty()) ini.Set(m, "安装密码", md5(gbk(d.install_password)));
  if (d.install_mode == "normal") ini.Set(m, "安装模式", "正常安装");
  if (d.install_mode == "direct") ini.Set(m, "安装模式", "直接安装");
  if (d.install_mode == "background") ini.Set(m, "安装模式", "后台安装");
  ini.Set(m, "安装后是否显示完成界面", Flag(d.finish_page));
  ini.Set(m, "同意条款k", Flag(d.agree_preset));
  ini.Set(m, "I_reg", Flag(d.registry_64));
  ini.Set(m, "任务栏进度", Flag(d.taskbar_progress));
  if (d.previous_location != 0) ini.Set(m, "选择框_优先二次路径", Flag(d.previous_location > 0));
  ini.Set(m, "安装过程_列表", Number(d.log_display));
  if (!d.browse_folder_name.empty()) ini.Set(m, "浏览目录自动添加", gbk(d.browse_folder_name));
  ini.Set(m, "自动添加路径", Flag(d.auto_append_folder));
  if (!d.basic_components.empty()) ini.Set(m, "基本组件勾选", gbk(d.basic_components));

  // Where the product's data travels. Only the text after "-" matters to the installer.
  switch (d.packaging) {
    case DataPackaging::kAppended:
      ini.Set(m, "安装包封装模式", "单文件封装-" + Number(d.progress_mib));
      break;
    case DataPackaging::kVolumes:
      ini.Set(m, "安装包封装模式", "分卷封装");
      break;
    case DataPackaging::kNone:
      ini.Set(m, "安装包封装模式", "无数据");
      break;
  }
  if (d.packaging == DataPackaging::kVolumes && !layout.volume_names.empty()) {
    ini.Set(m, "压缩分卷数", Number(static_cast<long long>(layout.volume_names.size())));
    std::string names;
    if (!layout.counted_volumes)
      for (const auto& n : layout.volume_names) names += gbk(n) + "+";
    ini.Set(m, "压缩分卷文件名", names);
    ini.Set(m, "分卷大小", gbk(d.volume_size));
  } else {
    ini.Set(m, "压缩分卷数", "0");
  }
  if (d.show_space) {
    ini.Set(m, "选择框_显示空间", "真");
    ini.Set(m, "压缩原大小", Number(static_cast<long long>(layout.unpacked_size)));
  }

  if (!d.switch_path.empty() || !d.switch_jp.empty() || !d.switch_hp.empty() ||
      !d.switch_hideend.empty()) {
    ini.Set("安装包命令行", "p", gbk(d.switch_path));
    ini.Set("安装包命令行", "jp", gbk(d.switch_jp));
    ini.Set("安装包命令行", "hideend", gbk(d.switch_hideend));
    ini.Set("安装包命令行", "hp", gbk(d.switch_hp));
  }
  if (!d.no_double_byte_path.empty()) ini.Set("ml", "ch", gbk(d.no_double_byte_path));
  if (!d.required_entry.empty()) ini.Set("ml", "zwj", gbk(d.required_entry));
  ini.Set("界面_可视", "选择组件可视", Flag(d.components_page));
  ini.Set("界面_可视", "浏览目录可视", Flag(d.directory_page));

  if (!d.shortcuts.empty()) {
    const std::string s = "新建快捷方式参数";
    ini.ClearSection(s);
    ini.Set(s, "欲运行的次数", Number(static_cast<long long>(d.shortcuts.size())));
    for (size_t i = 0; i < d.shortcuts.size(); ++i) {
      const auto& sc = d.shortcuts[i];
      const std::string n = Number(static_cast<long long>(i + 1));
      ini.Set(s, "参数快捷方式名" + n, gbk(sc.name));
      ini.Set(s, "参数文件名" + n, gbk(sc.target));
      ini.Set(s, "参数命令行" + n, gbk(sc.arguments));
      ini.Set(s, "参数生成位置" + n, gbk(sc.location));
      ini.Set(s, "参数是否卸载" + n, Flag(sc.remove_on_uninstall));
      ini.Set(s, "快捷方式图标" + n, gbk(sc.icon));
      ini.Set(s, "快捷方式描述" + n, gbk(sc.description));
    }
  }
  if (!d.runs.empty()) {
    const std::string s = "解压后运行的参数";
    ini.ClearSection(s);
    ini.Set(s, "欲运行的次数", Number(static_cast<long long>(d.runs.size())));
    for (size_t i = 0; i < d.runs.size(); ++i) {
      const auto& r = d.runs[i];
      const std::string n = Number(static_cast<long long>(i + 1));
      ini.Set(s, "是否外部运行" + n, Flag(r.external));
      ini.Set(s, "参数运行文件名" + n, gbk(r.command));
      ini.Set(s, "是否隐藏窗口" + n, Flag(r.hidden));
      ini.Set(s, "是否等待返回" + n, Flag(r.wait));
      ini.Set(s, "作用方案" + n, r.after_extraction ? "解压后运行" : "安装前运行");
    }
  }
  if (!d.uninstall_runs.empty()) {
    const std::string s = "卸载时运行命令";
    ini.ClearSection(s);
    ini.Set(s, "欲运行的次数", Number(static_cast<long long>(d.uninstall_runs.size())));
    for (size_t i = 0; i < d.uninstall_runs.size(); ++i) {
      const auto& r = d.uninstall_runs[i];
      const std::string n = Number(static_cast<long long>(i + 1));
      ini.Set(s, "是否外部运行" + n, Flag(r.external));
      ini.Set(s, "参数运行文件名" + n, gbk(r.command));
      ini.Set(s, "是否隐藏窗口" + n, Flag(r.hidden));
      ini.Set(s, "是否等待返回" + n, Flag(r.wait));
    }
  }

  ini.Set("完成后选项_主运行程序", "显示", Flag(d.finish_main_program));
  if (!d.finish_program.empty()) {
    ini.Set("完成后选项_执行程序", "显示", Flag(d.finish_program_show));
    ini.Set("完成后选项_执行程序", "文件路径", gbk(d.finish_program));
    ini.Set("完成后选项_执行程序", "选项标题", gbk(d.finish_program_title));
  }
  if (!d.finish_web.empty()) {
    ini.Set("完成后选项_访问网络", "显示", Flag(d.finish_web_show));
    ini.Set("完成后选项_访问网络", "网页地址", gbk(d.finish_web));
    ini.Set("完成后选项_访问网络", "选项标题", gbk(d.finish_web_title));
  }
  if (!d.finish_options.empty() || d.finish_y != 0) {
    const std::string s = "完成后选项_列表";
    ini.ClearSection(s);
    ini.Set(s, "次数", Number(static_cast<long long>(d.finish_options.size())));
    if (d.finish_y != 0) ini.Set(s, "y", Number(d.finish_y));
    for (size_t i = 0; i < d.finish_options.size(); ++i) {
      const auto& f = d.finish_options[i];
      const std::string n = Number(static_cast<long long>(i + 1));
      ini.Set(s, "标题" + n, gbk(f.title));
      ini.Set(s, "可视" + n, Flag(f.visible));
      ini.Set(s, "选中" + n, Flag(f.checked));
      ini.Set(s, "程序" + n, gbk(f.command));
    }
  }
  if (!d.uninstall_options.empty() || !d.uninstall_list_y.empty()) {
    const std::string s = "卸载选项_列表";
    ini.ClearSection(s);
    ini.Set(s, "y", gbk(d.uninstall_list_y));
    ini.Set(s, "次数", Number(static_cast<long long>(d.uninstall_options.size())));
    for (size_t i = 0; i < d.uninstall_options.size(); ++i) {
      const auto& f = d.uninstall_options[i];
      const std::string n = Number(static_cast<long long>(i + 1));
      ini.Set(s, "标题" + n, gbk(f.title));
      ini.Set(s, "可视" + n, Flag(f.visible));
      ini.Set(s, "选中" + n, Flag(f.checked));
      ini.Set(s, "程序" + n, gbk(f.command));
    }
  }

  std::string out = ini.Text();
  if (!licence_item.empty()) out += "\r\n" + licence_item + "\r\n";
  return out;
}

std::string ResourcePrefix() { return "#资源数据_"; }

std::string BuildVariableIni(const ProductDescription& d, const std::string& given,
                             const GbkConvert& gbk) {
  static const char* const kBuiltIn[] = {
      "%ProductName%", "%Version%",     "%CompanyCopyright%", "%MainExe%",    "%ProgramFiles%",
      "%ProgramFiles_x86%", "%TempDir%", "%WindowsDir%",     "%System32%",   "%SysWoW64%",
      "%FONTS%",       "%MenuDir%",     "%Desktop%",          "%AppData%",    "%MyDocument%",
      "%QuickLaunch%", "%UserProfile%", "%LastInPath%",       "%InstallPath%", "%AC%", "%ET%"};
  IniDocument ini;
  ini.Parse(given);
  for (const auto& v : d.variables) ini.Set("%" + gbk(v.first) + "%", "数据", gbk(v.second));
  for (const auto& r : d.resources)
    ini.Set("%" + gbk(r.first) + "%", "数据", ResourcePrefix() + gbk(r.first));
  for (const char* token : kBuiltIn)
    if (!ini.HasSection(token)) ini.Set(token, "数据", "#常量数据");
  return ini.Text();
}

std::string BuildVarData(const ProductDescription& d, const std::vector<std::string>& data,
                         const std::string& given, const GbkConvert& gbk) {
  std::string out = given;
  for (size_t i = 0; i < d.resources.size() && i < data.size(); ++i)
    SetItem(out, ResourcePrefix() + gbk(d.resources[i].first), data[i]);
  return out;
}

std::string BuildGuiText(const ProductDescription& d, const std::string& given,
                         const GbkConvert& gbk) {
  std::string out = given;
  for (const auto& t : d.texts) SetItem(out, gbk(t.first), gbk(Unescape(t.second)));
  return out;
}

std::string BuildScriptStore(const ProductDescription& d, const GbkConvert& gbk) {
  if (d.components.empty()) return "";
  // Tree order: each component followed by its descendants, in description order.
  std::vector<size_t> order;
  std::vector<bool> placed(d.components.size(), false);
  std::function<void(const std::string&)> place = [&](const std::string& parent) {
    for (size_t i = 0; i < d.components.size(); ++i) {
      if (placed[i] || d.components[i].parent != parent) continue;
      placed[i] = true;
      order.push_back(i);
      place(d.components[i].name);
    }
  };
  place("");
  std::map<std::string, size_t> position;
  std::vector<std::string> tree_lines;
  for (size_t k = 0; k < order.size(); ++k) {
    const auto& c = d.components[order[k]];
    position[c.name] = k;
    const std::string parent =
        c.parent.empty() ? "-1" : Number(static_cast<long long>(position[c.parent]));
    tree_lines.push_back(gbk(c.name) + "$," + parent + "$," + (c.checked ? "1" : "0") + "$," +
                         Flag(c.expanded));
  }

  struct Block {
    std::string name, install, unzip, finish, describe;
  };
  std::vector<Block> blocks;
  blocks.push_back({"Treelists", JoinCrLf(tree_lines), gbk(d.tree_geometry), "", ""});
  for (size_t idx : order) {
    const auto& c = d.components[idx];
    auto convert = [&](const std::vector<std::string>& lines) {
      std::vector<std::string> out;
      for (const auto& l : lines) out.push_back(gbk(l));
      return JoinCrLf(out);
    };
    blocks.push_back({gbk(c.name), convert(c.install), convert(c.unzip), convert(c.finish),
                      convert(c.describe)});
  }
  // A block is found by the first "name CR LF ｛" in the store, so a name that ends another
  // name must come first: shorter names first does that.
  std::stable_sort(blocks.begin(), blocks.end(),
                   [](const Block& a, const Block& b) { return a.name.size() < b.name.size(); });
  std::string store;
  for (const auto& b : blocks) {
    store += b.name + "\r\n｛\r\n";
    store += "Install(){" + b.install + "\r\n}";
    store += "\r\nUnzip(){" + b.unzip + "\r\n}";
    store += "\r\nfinish(){" + b.finish + "\r\n}";
    store += "\r\ndescribe(){" + b.describe + "\r\n}";
    store += "\r\n｝\r\n\r\n";
  }
  return store;
}

std::string BuildExceptIni(const ProductDescription& d, const std::string& given,
                           const GbkConvert& gbk) {
  std::string out = given;
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  for (const auto& e : d.exclusions) {
    out += gbk(e.destination) + ",-1\r\n";
    for (const auto& m : e.members) out += gbk(m) + ",0\r\n";
  }
  return out;
}

std::string BuildRegistryDb(const ProductDescription& d, const std::vector<std::string>& file_data,
                            const std::string& given, const GbkConvert& gbk) {
  std::string out = given;
  std::string num_text;
  long long n = 0;
  if (FindItem(out, "num", num_text)) n = std::atoll(num_text.c_str());
  if (n < 0) n = 0;
  RemoveItem(out, "num");
  for (size_t i = 0; i < d.registry.size(); ++i) {
    const auto& r = d.registry[i];
    const std::string k = Number(n + static_cast<long long>(i) + 1);
    std::string data;
    if (r.type == "file") data = i < file_data.size() ? file_data[i] : "";
    else if (r.type == "REG_BINARY") data = HexToBytes(r.data);
    else data = gbk(r.data);
    // A path ending in a backslash is the key itself; the installer drops that backslash.
    out += ItemBytes("REGpath" + k, gbk(r.path));
    out += ItemBytes("REGtype" + k, r.type);
    out += ItemBytes("REGdata" + k, data);
    out += ItemBytes("REGoff" + k, Flag(r.remove_on_uninstall));
    out += ItemBytes("REGname" + k, gbk(r.name));
    out += ItemBytes("REGws" + k, r.view);
  }
  if (n == 0 && d.registry.empty() && given.empty()) return "";
  out = ItemBytes("num", Number(n + static_cast<long long>(d.registry.size()))) + out;
  return out;
}

PluginFiles BuildPluginFiles(const ProductDescription& d, const std::vector<std::string>& images,
                             const GbkConvert& gbk) {
  PluginFiles files;
  for (size_t i = 0; i < d.plugins.size() && i < images.size(); ++i) {
    const auto& p = d.plugins[i];
    std::string args;
    for (size_t k = 0; k < p.params.size(); ++k) {
      const auto& param = p.params[k];
      const std::string type = param.first == "int" ? "整数型"
                               : param.first == "bytes" ? "字节集"
                                                        : "文本型";
      if (k) args += "\r\nDLL标记$";
      args += "参数" + Number(static_cast<long long>(k + 1)) + "$参数，" + type + "$参数，" +
              gbk(param.second);
    }
    const std::string name = gbk(p.export_name);
    if (i) {
      files.images += kPluginSeparator;
      files.settings += kPluginSeparator;
    }
    files.images += "DLLname" + name + "DLLname_end" + "DLLparam_end" + images[i];
    files.settings += "DLLmd" + Number(p.mode) + "DLLmd_end" + "DLLname" + name + "DLLname_end" +
                      "DLLparam" + args + "DLLparam_end";
  }
  return files;
}
