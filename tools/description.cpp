// Reading the product description: the INI-like parse, then one record with defaults and checks.
#include "tools/description.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Where(const DescriptionSection& s) {
  return "line " + std::to_string(s.line) + " [" + s.name + "]: ";
}

// Yes/no words; the Chinese flag words are compared in UTF-8, as the description is written.
bool ParseFlag(const DescriptionSection& s, const std::string& key, bool fallback,
               std::vector<std::string>& errors) {
  if (!s.Has(key)) return fallback;
  std::string v = Lower(s.Get(key));
  if (v == "yes" || v == "true" || v == "1" || v == "on" || v == u8"真") return true;
  if (v == "no" || v == "false" || v == "0" || v == "off" || v == u8"假") return false;
  errors.push_back(Where(s) + key + " must be yes or no, not \"" + s.Get(key) + "\"");
  return fallback;
}

int ParseNumber(const DescriptionSection& s, const std::string& key, int fallback,
                std::vector<std::string>& errors) {
  if (!s.Has(key)) return fallback;
  const std::string v = s.Get(key);
  const bool negative = !v.empty() && v[0] == '-';
  size_t i = negative ? 1 : 0;
  bool ok = i < v.size();
  long long n = 0;
  for (; ok && i < v.size(); ++i) {
    ok = std::isdigit(static_cast<unsigned char>(v[i])) != 0 && n < 100000000;
    n = n * 10 + (v[i] - '0');
  }
  if (!ok) {
    errors.push_back(Where(s) + key + " must be a number below 100000000, not \"" + v + "\"");
    return fallback;
  }
  return static_cast<int>(negative ? -n : n);
}

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string cur;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!cur.empty()) words.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) words.push_back(cur);
  return words;
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string part = Trim(text.substr(start, comma - start));
    if (!part.empty()) parts.push_back(part);
    start = comma + 1;
  }
  return parts;
}

// Keys each section accepts; anything else is reported so that typing errors do not pass unseen.
const std::map<std::string, std::set<std::string>>& KnownKeys() {
  static const std::map<std::string, std::set<std::string>> keys = {
      {"product",
       {"name", "version", "company", "main_program", "install_dir", "archive_name",
        "uninstaller", "uninstall_mode", "data_password", "install_password", "install_mode",
        "finish_page", "agree_preset", "registry_view", "taskbar_progress", "previous_location",
        "log_display", "licence", "browse_folder_name", "auto_append_folder", "show_space",
        "components_page", "directory_page", "basic_components", "no_double_byte_path",
        "required_entry", "switch_path", "switch_jp", "switch_hp", "switch_hideend",
        "uninstall_list_y"}},
      {"package",
       {"setup", "output", "mode", "progress_mib", "volume_size", "volume_naming", "volume_base",
        "data_options", "config_options", "key", "config_password", "alter_signature",
        "alter_data_signature", "product_folder", "config_folder", "empty_folders"}},
      {"shortcut",
       {"name", "target", "arguments", "location", "remove_on_uninstall", "icon", "description"}},
      {"run", {"command", "external", "hidden", "wait", "when"}},
      {"uninstall_run", {"command", "external", "hidden", "wait"}},
      {"finish",
       {"main_program", "program", "program_title", "program_show", "web", "web_title",
        "web_show", "y"}},
      {"finish_option", {"title", "command", "visible", "checked"}},
      {"uninstall_option", {"title", "command", "visible", "checked"}},
      {"registry",
       {"path", "name", "type", "data", "file", "remove_on_uninstall", "view"}},
      {"component",
       {"name", "parent", "checked", "expanded", "install", "unzip", "finish", "describe"}},
      {"tree", {"geometry"}},
      {"exclusion", {"destination", "members"}},
      {"plugin", {"file", "export", "mode", "param"}},
      {"pictures",
       {"welcome", "small", "large", "installing", "setup_icon", "uninstall_icon"}},
  };
  return keys;
}

// Sections whose keys are free: the key is a name chosen by the publisher.
bool FreeKeys(const std::string& section) {
  return section == "texts" || section == "variables" || section == "resources";
}

const DescriptionSection* Single(const std::vector<DescriptionSection>& sections,
                                 const std::string& name, std::vector<std::string>& errors) {
  const DescriptionSection* found = nullptr;
  for (const auto& s : sections) {
    if (s.name != name) continue;
    if (found) errors.push_back(Where(s) + "section [" + name + "] may appear only once");
    else found = &s;
  }
  return found;
}

}  // namespace

std::string DescriptionSection::Get(const std::string& key, const std::string& fallback) const {
  for (auto it = values.rbegin(); it != values.rend(); ++it)
    if (it->first == key) return it->second;
  return fallback;
}

bool DescriptionSection::Has(const std::string& key) const {
  for (const auto& kv : values)
    if (kv.first == key) return true;
  return false;
}

std::vector<std::string> DescriptionSection::All(const std::string& key) const {
  std::vector<std::string> out;
  for (const auto& kv : values)
    if (kv.first == key) out.push_back(kv.second);
  return out;
}

std::vector<DescriptionSection> ParseDescriptionText(const std::string& utf8,
                                                     std::vector<std::string>& errors) {
  std::vector<DescriptionSection> sections;
  std::string text = utf8;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // byte-order mark
  size_t pos = 0;
  int line_no = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++line_no;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 3) {
        errors.push_back("line " + std::to_string(line_no) + ": bad section header");
        continue;
      }
      DescriptionSection s;
      s.name = Lower(Trim(line.substr(1, line.size() - 2)));
      s.line = line_no;
      sections.push_back(std::move(s));
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      errors.push_back("line " + std::to_string(line_no) + ": expected key = value");
      continue;
    }
    if (sections.empty()) {
      errors.push_back("line " + std::to_string(line_no) + ": key before any [section]");
      continue;
    }
    std::string key = Trim(line.substr(0, eq));
    if (!FreeKeys(sections.back().name)) key = Lower(key);
    sections.back().values.emplace_back(key, Trim(line.substr(eq + 1)));
  }
  return sections;
}

ProductDescription ReadDescription(const std::vector<DescriptionSection>& sections,
                                   std::vector<std::string>& errors) {
  ProductDescription d;
  for (const auto& s : sections) {
    if (FreeKeys(s.name)) continue;
    auto known = KnownKeys().find(s.name);
    if (known == KnownKeys().end()) {
      errors.push_back(Where(s) + "unknown section");
      continue;
    }
    for (const auto& kv : s.values)
      if (!known->second.count(kv.first)) errors.push_back(Where(s) + "unknown key " + kv.first);
  }

  if (const DescriptionSection* p = Single(sections, "product", errors)) {
    d.name = p->Get("name");
    d.version = p->Get("version");
    d.company = p->Get("company");
    d.main_program = p->Get("main_program");
    d.install_dir = p->Get("install_dir");
    d.archive_name = p->Get("archive_name");
    d.uninstaller = ParseFlag(*p, "uninstaller", true, errors);
    d.uninstall_mode = p->Get("uninstall_mode");
    d.data_password = p->Get("data_password");
    d.install_password = p->Get("install_password");
    d.install_mode = Lower(p->Get("install_mode"));
    if (!d.install_mode.empty() && d.install_mode != "normal" && d.install_mode != "direct" &&
        d.install_mode != "background")
      errors.push_back(Where(*p) + "install_mode must be normal, direct or background");
    d.finish_page = ParseFlag(*p, "finish_page", true, errors);
    d.agree_preset = ParseFlag(*p, "agree_preset", false, errors);
    const std::string view = p->Get("registry_view", "32");
    if (view != "32" && view != "64") errors.push_back(Where(*p) + "registry_view must be 32 or 64");
    d.registry_64 = view == "64";
    d.taskbar_progress = ParseFlag(*p, "taskbar_progress", false, errors);
    if (p->Has("previous_location"))
      d.previous_location = ParseFlag(*p, "previous_location", true, errors) ? 1 : -1;
    d.log_display = ParseNumber(*p, "log_display", 0, errors);
    if (d.log_display < 0 || d.log_display > 2)
      errors.push_back(Where(*p) + "log_display must be 0, 1 or 2");
    d.licence_file = p->Get("licence");
    d.browse_folder_name = p->Get("browse_folder_name");
    d.auto_append_folder = ParseFlag(*p, "auto_append_folder", false, errors);
    d.show_space = ParseFlag(*p, "show_space", false, errors);
    d.components_page = ParseFlag(*p, "components_page", true, errors);
    d.directory_page = ParseFlag(*p, "directory_page", true, errors);
    d.basic_components = p->Get("basic_components");
    d.no_double_byte_path = p->Get("no_double_byte_path");
    d.required_entry = p->Get("required_entry");
    d.switch_path = p->Get("switch_path");
    d.switch_jp = p->Get("switch_jp");
    d.switch_hp = p->Get("switch_hp");
    d.switch_hideend = p->Get("switch_hideend");
    d.uninstall_list_y = p->Get("uninstall_list_y");
  } else {
    errors.push_back("section [product] is missing");
  }
  if (d.name.empty()) errors.push_back("[product] name is required");

  if (const DescriptionSection* p = Single(sections, "package", errors)) {
    d.setup_path = p->Get("setup");
    d.output_name = p->Get("output");
    const std::string mode = Lower(p->Get("mode", "appended"));
    if (mode == "appended") d.packaging = DataPackaging::kAppended;
    else if (mode == "volumes") d.packaging = DataPackaging::kVolumes;
    else if (mode == "none") d.packaging = DataPackaging::kNone;
    else errors.push_back(Where(*p) + "mode must be appended, volumes or none");
    d.progress_mib = ParseNumber(*p, "progress_mib", 0, errors);
    if (d.progress_mib < 0) errors.push_back(Where(*p) + "progress_mib must not be negative");
    d.volume_size = p->Get("volume_size", d.volume_size);
    const std::string naming = Lower(p->Get("volume_naming", "ordered"));
    if (naming == "ordered") d.volume_naming = VolumeNaming::kOrdered;
    else if (naming == "unordered") d.volume_naming = VolumeNaming::kUnordered;
    else if (naming == "counted") d.volume_naming = VolumeNaming::kCounted;
    else errors.push_back(Where(*p) + "volume_naming must be ordered, unordered or counted");
    d.volume_base = p->Get("volume_base");
    d.data_options = SplitWords(p->Get("data_options"));
    d.config_options = SplitWords(p->Get("config_options"));
    d.key_text = p->Get("key");
    d.config_password = p->Get("config_password");
    d.alter_signature = ParseFlag(*p, "alter_signature", false, errors);
    d.alter_data_signature = ParseFlag(*p, "alter_data_signature", false, errors);
    d.product_folder = p->Get("product_folder", d.product_folder);
    d.config_folder = p->Get("config_folder", d.config_folder);
    for (const auto& f : p->All("empty_folders"))
      for (auto& part : SplitCommas(f)) {
        if (part.find("..") != std::string::npos || part[0] == '/' || part[0] == '\\')
          errors.push_back(Where(*p) + "empty_folders must lie inside the product folder");
        else
          d.empty_folders.push_back(part);
      }
  }
  if (d.volume_size.empty() || !std::isdigit(static_cast<unsigned char>(d.volume_size[0])))
    errors.push_back("[package] volume_size must be a size such as 1m or 700k");
  if (d.alter_data_signature && d.packaging != DataPackaging::kAppended)
    errors.push_back("[package] alter_data_signature needs mode = appended");
  // Names of files the builder writes: no folder parts, nothing Windows refuses in a name.
  const char kNotInNames[] = "/\\:*?\"<>|";
  const std::string output = d.output_name.empty() ? d.name + "-setup.exe" : d.output_name;
  if (output.find_first_of(kNotInNames) != std::string::npos)
    errors.push_back("the installer's name \"" + output + "\" is not a file name: set [package] output");
  if (d.packaging == DataPackaging::kVolumes) {
    // The installer joins unordered volumes with "copy /b a+b ...": a blank would split a name.
    const std::string base = d.volume_base.empty() ? d.name : d.volume_base;
    if (base.find_first_of(kNotInNames) != std::string::npos)
      errors.push_back("volume names must be file names: set volume_base");
    if (base.find_first_of(" +\"") != std::string::npos)
      errors.push_back("volume names may not contain blanks, \"+\" or quotes: set volume_base");
    if (d.volume_naming == VolumeNaming::kCounted && !d.volume_base.empty() &&
        d.volume_base != d.name)
      errors.push_back("counted volumes are named after the product: volume_base not allowed");
  }

  for (const auto& s : sections) {
    if (s.name == "shortcut") {
      ShortcutDescription sc;
      sc.name = s.Get("name");
      sc.target = s.Get("target");
      sc.arguments = s.Get("arguments");
      sc.location = s.Get("location");
      sc.icon = s.Get("icon");
      sc.description = s.Get("description");
      sc.remove_on_uninstall = ParseFlag(s, "remove_on_uninstall", true, errors);
      if (sc.name.empty() || sc.target.empty() || sc.location.empty())
        errors.push_back(Where(s) + "a shortcut needs name, target and location");
      d.shortcuts.push_back(sc);
    } else if (s.name == "run" || s.name == "uninstall_run") {
      RunDescription r;
      r.command = s.Get("command");
      r.external = ParseFlag(s, "external", false, errors);
      r.hidden = ParseFlag(s, "hidden", false, errors);
      r.wait = ParseFlag(s, "wait", false, errors);
      const std::string when = Lower(s.Get("when", "after"));
      if (when != "after" && when != "before")
        errors.push_back(Where(s) + "when must be before or after");
      r.after_extraction = when == "after";
      if (r.command.empty()) errors.push_back(Where(s) + "command is required");
      (s.name == "run" ? d.runs : d.uninstall_runs).push_back(r);
    } else if (s.name == "finish_option" || s.name == "uninstall_option") {
      FinishOptionDescription f;
      f.title = s.Get("title");
      f.command = s.Get("command");
      f.visible = ParseFlag(s, "visible", true, errors);
      f.checked = ParseFlag(s, "checked", true, errors);
      (s.name == "finish_option" ? d.finish_options : d.uninstall_options).push_back(f);
    } else if (s.name == "registry") {
      RegistryDescription r;
      r.path = s.Get("path");
      r.name = s.Get("name");
      r.type = s.Get("type", "REG_SZ");
      r.data = s.Get("data");
      r.file = s.Get("file");
      r.remove_on_uninstall = ParseFlag(s, "remove_on_uninstall", false, errors);
      r.view = s.Get("view");
      if (r.view == "32") r.view.clear();
      if (!r.view.empty() && r.view != "64") errors.push_back(Where(s) + "view must be 32 or 64");
      if (r.type != "REG_SZ" && r.type != "REG_BINARY" && r.type != "REG_DWORD" && r.type != "file")
        errors.push_back(Where(s) + "type must be REG_SZ, REG_BINARY, REG_DWORD or file");
      if (r.type == "file" ? r.file.empty() : r.path.empty())
        errors.push_back(Where(s) + (r.type == "file" ? "file" : "path") + " is required");
      d.registry.push_back(r);
    } else if (s.name == "component") {
      ComponentDescription c;
      c.name = s.Get("name");
      c.parent = s.Get("parent");
      c.checked = ParseFlag(s, "checked", true, errors);
      c.expanded = ParseFlag(s, "expanded", false, errors);
      c.install = s.All("install");
      c.unzip = s.All("unzip");
      c.finish = s.All("finish");
      c.describe = s.All("describe");
      if (c.name.empty()) errors.push_back(Where(s) + "a component needs a name");
      d.components.push_back(c);
    } else if (s.name == "tree") {
      d.tree_geometry = s.Get("geometry");
    } else if (s.name == "exclusion") {
      ExclusionDescription e;
      e.destination = s.Get("destination");
      for (const auto& m : s.All("members"))
        for (auto& part : SplitCommas(m)) e.members.push_back(part);
      if (e.destination.empty() || e.members.empty())
        errors.push_back(Where(s) + "an exclusion needs destination and members");
      d.exclusions.push_back(e);
    } else if (s.name == "plugin") {
      PluginDescription pl;
      pl.file = s.Get("file");
      pl.export_name = s.Get("export");
      const std::string mode = Lower(s.Get("mode", "installer"));
      if (mode == "installer") pl.mode = 0;
      else if (mode == "uninstaller") pl.mode = 1;
      else if (mode == "both") pl.mode = 2;
      else errors.push_back(Where(s) + "mode must be installer, uninstaller or both");
      for (const auto& param : s.All("param")) {
        size_t colon = param.find(':');
        std::string type = colon == std::string::npos ? "" : Lower(Trim(param.substr(0, colon)));
        std::string value = colon == std::string::npos ? "" : param.substr(colon + 1);
        if (type != "text" && type != "int" && type != "bytes")
          errors.push_back(Where(s) + "param must be text:..., int:... or bytes:...");
        pl.params.emplace_back(type, value);
      }
      if (pl.params.size() > 15) errors.push_back(Where(s) + "at most 15 params");
      if (pl.file.empty() || pl.export_name.empty())
        errors.push_back(Where(s) + "a plugin needs file and export");
      d.plugins.push_back(pl);
    } else if (s.name == "finish") {
      d.finish_main_program = ParseFlag(s, "main_program", false, errors);
      d.finish_program = s.Get("program");
      d.finish_program_title = s.Get("program_title");
      d.finish_program_show = ParseFlag(s, "program_show", true, errors);
      d.finish_web = s.Get("web");
      d.finish_web_title = s.Get("web_title");
      d.finish_web_show = ParseFlag(s, "web_show", true, errors);
      d.finish_y = ParseNumber(s, "y", 0, errors);
    } else if (s.name == "texts") {
      for (const auto& kv : s.values) d.texts.push_back(kv);
    } else if (s.name == "variables") {
      for (const auto& kv : s.values) d.variables.push_back(kv);
    } else if (s.name == "resources") {
      for (const auto& kv : s.values) d.resources.push_back(kv);
    } else if (s.name == "pictures") {
      static const std::map<std::string, std::string> names = {
          {"welcome", u8"界面图片.jpg"},        {"small", u8"界面小图片.jpg"},
          {"large", u8"界面大图片.jpg"},        {"installing", u8"界面安装时图像.jpg"},
          {"setup_icon", "setup.ico"},          {"uninstall_icon", u8"卸载程序图标.ico"}};
      for (const auto& kv : s.values) {
        auto it = names.find(kv.first);
        if (it != names.end()) d.pictures.emplace_back(it->second, kv.second);
      }
    }
  }

  // Components: unique names, parents named before their children.
  std::set<std::string> seen;
  for (const auto& c : d.components) {
    if (!c.parent.empty() && !seen.count(c.parent))
      errors.push_back("component \"" + c.name + "\": parent \"" + c.parent +
                       "\" must be described before it");
    if (c.name == "Treelists")
      errors.push_back("component name \"Treelists\" is taken by the tree itself");
    // A tree line starting with "}" would end the installer's tree section early, and "$," is
    // the tree's field separator.
    if (!c.name.empty() && (c.name[0] == '}' || c.name.find("$,") != std::string::npos))
      errors.push_back("component \"" + c.name + "\": a name may not start with \"}\" or hold \"$,\"");
    if (!seen.insert(c.name).second)
      errors.push_back("component \"" + c.name + "\" is described twice");
  }
  // Resource names must not begin one another, or the installer's replacement is ambiguous.
  for (size_t i = 0; i < d.resources.size(); ++i)
    for (size_t j = 0; j < d.resources.size(); ++j)
      if (i != j && d.resources[j].first.compare(0, d.resources[i].first.size(),
                                                 d.resources[i].first) == 0)
        errors.push_back("resource \"" + d.resources[i].first + "\" is the beginning of \"" +
                         d.resources[j].first + "\"; choose names that do not overlap");
  return d;
}
