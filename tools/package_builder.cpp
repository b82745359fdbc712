// Building an installer: read the description, stage the configuration files (GBK, enciphered or
// compressed as the installer reads them), archive them and the product with 7-Zip, write the
// installer file and place the volumes.
#include "tools/package_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "runtime/package_keys.h"
#include "runtime/compressed_file.h"
#include "runtime/data_cipher.h"
#include "runtime/md5.h"
#include "runtime/text.h"
#include "tools/archiver.h"
#include "tools/config_files.h"
#include "tools/description.h"
#include "tools/installer_writer.h"

namespace fs = std::filesystem;

namespace {

bool ReadAll(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteAll(const fs::path& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

// Configuration files a publisher may give as UTF-8 text; they are converted to GBK.
const std::set<std::string>& TextConfigNames() {
  static const std::set<std::string> names = {"data.ini",        "variable.ini", "GUItext.ini",
                                              "choomarlowe.ini", "Except.ini",   "QEVDLL_s.ini"};
  return names;
}

// Strict UTF-8 (no overlong forms, no surrogates): a given file that is not UTF-8 is taken to be
// GBK already, as files made for the installer by other means are.
bool IsUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    uint32_t cp;
    if ((c >> 5) == 6) {
      n = 1;
      cp = c & 0x1F;
    } else if ((c >> 4) == 14) {
      n = 2;
      cp = c & 0x0F;
    } else if ((c >> 3) == 30) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t >> 6) != 2) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    const uint32_t least = n == 1 ? 0x80 : n == 2 ? 0x800 : 0x10000;
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

bool StartsWithMagic(const std::string& bytes) {
  return bytes.size() >= 4 && bytes.compare(0, 4, "\x0D\x0F\x3E\x03") == 0;
}

class Builder {
 public:
  Builder(const BuildOptions& options, BuildResult& result) : opt_(options), r_(result) {}

  void Run();

 private:
  void Error(const std::string& e) { r_.errors.push_back(e); }
  void Warn(const std::string& w) { r_.warnings.push_back(w); }
  std::string Gbk(const std::string& utf8);
  fs::path FromSource(const std::string& p) const {
    fs::path path = fs::u8path(p);
    return path.is_absolute() ? path : src_ / path;
  }
  bool ReadSourceFile(const std::string& name, const char* what, std::string& out);
  void ReadGivenConfig();
  bool MakeDataArchive(DataLayout& layout, fs::path& appended_archive);
  void StageConfigFiles(const DataLayout& layout);
  void Stage(const std::string& name, const std::string& bytes) { staged_[name] = bytes; }

  const BuildOptions& opt_;
  BuildResult& r_;
  fs::path src_, out_, work_;
  ProductDescription d_;
  std::map<std::string, std::string> given_;   // given configuration files, by name
  std::map<std::string, std::string> staged_;  // the configuration archive's files, by name
  std::set<std::string> reported_texts_;
};

std::string Builder::Gbk(const std::string& utf8) {
  std::string gbk = Utf8ToGbk(utf8);
  if (GbkToUtf8(gbk) != utf8 && reported_texts_.insert(utf8).second)
    Error("text cannot be written in GBK: \"" + utf8 + "\"");
  return gbk;
}

bool Builder::ReadSourceFile(const std::string& name, const char* what, std::string& out) {
  if (ReadAll(FromSource(name), out)) return true;
  Error(std::string("cannot read ") + what + " " + FromSource(name).u8string());
  return false;
}

void Builder::ReadGivenConfig() {
  const fs::path folder = FromSource(d_.config_folder);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().u8string();
    if (!entry.is_regular_file()) {
      Error("the configuration folder holds files only: " + entry.path().u8string());
      continue;
    }
    std::string bytes;
    if (!ReadAll(entry.path(), bytes)) {
      Error("cannot read " + entry.path().u8string());
      continue;
    }
    const bool text = TextConfigNames().count(name) != 0;
    if (text && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    if (text || (name == "QEVREG.db" && !StartsWithMagic(bytes))) {
      if (!IsUtf8(bytes)) {
        Warn(entry.path().u8string() + " is not UTF-8: taken as GBK unchanged");
      } else {
        std::string gbk = Utf8ToGbk(bytes);
        if (GbkToUtf8(gbk) != bytes) Error(entry.path().u8string() + " holds text GBK cannot hold");
        bytes = gbk;
      }
      if (text) bytes = CrLfLines(bytes);
    }
    given_[name] = bytes;
  }
}

bool Builder::MakeDataArchive(DataLayout& layout, fs::path& appended_archive) {
  const fs::path product = FromSource(d_.product_folder);
  std::error_code ec;
  if (d_.packaging != DataPackaging::kNone) {
    for (const auto& f : d_.empty_folders) {
      std::string p = f;
      std::replace(p.begin(), p.end(), '\\', '/');
      fs::create_directories(product / fs::u8path(p), ec);
    }
  }
  bool has_files = fs::is_directory(product, ec) && !fs::is_empty(product, ec);
  if (d_.packaging != DataPackaging::kNone && !has_files) {
    Warn("no product files in " + product.u8string() + ": the installer carries no data");
    d_.packaging = DataPackaging::kNone;
  }
  if (d_.packaging == DataPackaging::kNone) return true;

  for (auto it = fs::recursive_directory_iterator(product, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec)) layout.unpacked_size += it->file_size(ec);
  }
  auto present = [&](const std::string& rel) {
    std::string p = rel;
    std::replace(p.begin(), p.end(), '\\', '/');
    return fs::exists(product / fs::u8path(p), ec);
  };
  if (!d_.main_program.empty() && !present(d_.main_program))
    Warn("main_program " + d_.main_program + " is not in the product folder");
  for (const auto& s : d_.shortcuts) {
    if (s.target == "%Uninst.exe%" && !d_.uninstaller)
      Warn("shortcut " + s.name + " points at the uninstaller, but none is generated");
    if (s.target != "%Uninst.exe%" && !present(s.target))
      Warn("shortcut target " + s.target + " is not in the product folder");
  }

  ArchiveRequest request;
  request.sevenzip = opt_.sevenzip;
  request.folder = product.string();
  request.options = d_.data_options;
  // With an install password the installer extracts with the password the user typed.
  request.password = d_.install_password.empty() ? d_.data_password : d_.install_password;
  std::string error;
  if (d_.packaging == DataPackaging::kAppended) {
    appended_archive = work_ / "data.7z";
    request.archive = appended_archive.string();
    if (!MakeArchive(request, error)) {
      Error(error);
      return false;
    }
    return true;
  }

  const fs::path volumes = work_ / "volumes";
  fs::create_directories(volumes, ec);
  request.archive = (volumes / "data.7z").string();
  request.options.push_back("-v" + d_.volume_size);
  if (!MakeArchive(request, error)) {
    Error(error);
    return false;
  }
  std::vector<fs::path> parts;
  for (size_t i = 1;; ++i) {
    char ext[16];
    std::snprintf(ext, sizeof ext, ".%03zu", i);
    fs::path part = volumes / ("data.7z" + std::string(ext));
    if (!fs::exists(part, ec)) break;
    parts.push_back(part);
  }
  if (parts.empty()) {
    Error("7-Zip made no volumes");
    return false;
  }
  layout.counted_volumes = d_.volume_naming == VolumeNaming::kCounted;
  const std::string base = layout.counted_volumes || d_.volume_base.empty() ? d_.name
                                                                            : d_.volume_base;
  layout.volume_names = VolumeNames(d_.volume_naming, base, parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    const fs::path target = out_ / fs::u8path(layout.volume_names[i]);
    fs::remove(target, ec);
    fs::rename(parts[i], target, ec);
    if (ec) {
      fs::copy_file(parts[i], target, fs::copy_options::overwrite_existing, ec);
      if (ec) {
        Error("cannot write " + target.u8string());
        return false;
      }
    }
    r_.volume_paths.push_back(target.u8string());
  }
  // Volumes left from an earlier, longer build would only confuse whoever ships the folder.
  for (size_t i = parts.size() + 1;; ++i) {
    const fs::path stale =
        out_ / fs::u8path(VolumeNames(d_.volume_naming, base, i).back());
    if (!fs::remove(stale, ec)) break;
  }
  return true;
}

void Builder::StageConfigFiles(const DataLayout& layout) {
  std::string licence;
  if (!d_.licence_file.empty()) {
    std::string text;
    if (ReadSourceFile(d_.licence_file, "the licence", text)) {
      if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
      licence = CrLfLines(Gbk(text));
    }
  }
  GbkConvert gbk = [this](const std::string& s) { return Gbk(s); };
  auto take_given = [this](const std::string& name) {
    auto it = given_.find(name);
    if (it == given_.end()) return std::string();
    std::string bytes = it->second;
    given_.erase(it);
    return bytes;
  };
  auto encipher = [this](const std::string& name, const std::string& plain, const char* password) {
    if (plain.empty()) return;  // the installer reads a missing file as empty
    Stage(name, EncipherData(plain, password));
  };

  Stage("data.ini", BuildDataIni(d_, layout, take_given("data.ini"), licence, gbk,
                                 [](const std::string& s) { return Md5Hex(s); }));
  Stage("variable.ini", BuildVariableIni(d_, take_given("variable.ini"), gbk));

  std::vector<std::string> resources;
  for (const auto& res : d_.resources) {
    std::string bytes;
    ReadSourceFile(res.second, "the resource", bytes);
    resources.push_back(bytes);
  }
  const std::string var_data = BuildVarData(d_, resources, take_given("var_data.ini"), gbk);
  if (!var_data.empty()) Stage("var_data.ini", var_data);

  static const std::set<std::string> kTextKeys = {
      u8"窗口标题", u8"欢迎0", u8"欢迎1", u8"协议0", u8"协议1", u8"组件0", u8"组件1", u8"组件2",
      u8"组件3",    u8"目录0", u8"目录1", u8"目录2", u8"安装0", u8"安装1", u8"完成0", u8"完成1"};
  for (const auto& t : d_.texts)
    if (!kTextKeys.count(t.first)) Warn("[texts] " + t.first + " is no wizard text key");
  encipher("GUItext.ini", BuildGuiText(d_, take_given("GUItext.ini"), gbk), kGuiTextPassword);

  std::string store = take_given("choomarlowe.ini");
  if (!store.empty() && !d_.components.empty())
    Error("give the components either in package.ini or as choomarlowe.ini, not both");
  else if (store.empty())
    store = BuildScriptStore(d_, gbk);
  for (const auto& c : d_.components) {
    for (const auto* lines : {&c.install, &c.unzip, &c.finish, &c.describe})
      for (const auto& l : *lines)
        if (l.rfind("}", 0) == 0 || l.find(u8"｛") != std::string::npos ||
            l.find(u8"｝") != std::string::npos)
          Error("component \"" + c.name + u8"\": a line may not start with } or hold ｛ ｝");
    if (c.name.find("$,") != std::string::npos || c.name.find(u8"｛") != std::string::npos)
      Error("component \"" + c.name + u8"\": the name may not hold $, or ｛");
  }
  // Lines the installer would skip without a word: warn while the publisher can still fix them.
  for (const auto& c : d_.components) {
    for (const auto* lines : {&c.install, &c.unzip, &c.finish}) {
      for (const auto& l : *lines) {
        if (l.find("setdesktop()") != std::string::npos ||
            l.find("setstartmenu()") != std::string::npos ||
            l.find("setquicklaunch()") != std::string::npos)
          continue;
        const bool conditioned = l.rfind(u8"[真]", 0) == 0 || l.rfind(u8"[假]", 0) == 0;
        const size_t close = l.find(']');
        const std::string command = close == std::string::npos ? l : l.substr(close + 1);
        const size_t paren = command.find('(');
        const std::string name = paren == std::string::npos ? "" : command.substr(0, paren);
        if (!conditioned)
          Warn("component \"" + c.name + "\": \"" + l + u8"\" should start with [真] or [假]");
        else if (paren != std::string::npos && name != "assignzip" && name != "removezip" &&
                 name != "removedump")
          Warn("component \"" + c.name + "\": \"" + name + "\" is no script command; the line is skipped");
      }
    }
  }
  encipher("choomarlowe.ini", store, kScriptStorePassword);

  encipher("Except.ini", BuildExceptIni(d_, take_given("Except.ini"), gbk), kExceptPassword);

  std::string registry = take_given("QEVREG.db");
  if (StartsWithMagic(registry)) {
    if (!d_.registry.empty()) Error("a compressed QEVREG.db cannot take [registry] records");
    else Stage("QEVREG.db", registry);
  } else {
    std::vector<std::string> reg_files;
    for (const auto& rec : d_.registry) {
      std::string bytes;
      if (rec.type == "file") ReadSourceFile(rec.file, "the .reg file", bytes);
      reg_files.push_back(bytes);
    }
    const std::string db = BuildRegistryDb(d_, reg_files, registry, gbk);
    if (!db.empty()) Stage("QEVREG.db", DeflateCompressedFile(db));
  }

  std::string plugin_images = take_given("QEVDLL.db");
  std::string plugin_settings = take_given("QEVDLL_s.ini");
  if (!d_.plugins.empty()) {
    if (!plugin_images.empty() || !plugin_settings.empty()) {
      Error("give the plug-ins either in package.ini or as QEVDLL.db/QEVDLL_s.ini, not both");
    } else {
      std::vector<std::string> images;
      for (const auto& p : d_.plugins) {
        std::string bytes;
        if (ReadSourceFile(p.file, "the plug-in", bytes) &&
            bytes.find("墨桐DLL分割标记") != std::string::npos)
          Error("plug-in " + p.file + " contains the entry separator and cannot be carried");
        images.push_back(bytes);
      }
      PluginFiles files = BuildPluginFiles(d_, images, gbk);
      plugin_images = files.images;
      plugin_settings = files.settings;
    }
  }
  if (!plugin_images.empty())
    Stage("QEVDLL.db", StartsWithMagic(plugin_images) ? plugin_images
                                                      : DeflateCompressedFile(plugin_images));
  if (!plugin_settings.empty()) Stage("QEVDLL_s.ini", plugin_settings);

  for (const auto& pic : d_.pictures) {
    std::string bytes;
    if (ReadSourceFile(pic.second, "the picture", bytes)) Stage(pic.first, bytes);
  }
  // Anything else in the configuration folder travels unchanged (pictures, icons, extras).
  for (const auto& g : given_)
    if (!staged_.count(g.first)) Stage(g.first, g.second);
}

void Builder::Run() {
  src_ = fs::u8path(opt_.source_folder);
  std::string text;
  if (!ReadAll(src_ / "package.ini", text)) {
    Error("cannot read " + (src_ / "package.ini").u8string());
    return;
  }
  std::vector<std::string> errors;
  auto sections = ParseDescriptionText(text, errors);
  d_ = ReadDescription(sections, errors);
  for (auto& e : errors) Error("package.ini: " + e);
  const std::string setup = !opt_.setup_path.empty() ? opt_.setup_path : d_.setup_path;
  if (setup.empty()) Error("no setup program: give --setup or [package] setup");
  if (!r_.errors.empty()) return;

  out_ = fs::u8path(opt_.output_folder.empty() ? "." : opt_.output_folder);
  std::error_code ec;
  fs::create_directories(out_, ec);
  work_ = out_ / ".qevpack-work";
  fs::remove_all(work_, ec);
  if (!fs::create_directories(work_, ec)) {
    Error("cannot create " + work_.u8string());
    return;
  }

  ReadGivenConfig();
  DataLayout layout;
  fs::path data_archive;
  if (r_.errors.empty() && MakeDataArchive(layout, data_archive)) StageConfigFiles(layout);

  const fs::path stage = work_ / "config";
  fs::create_directories(stage, ec);
  ArchiveRequest request;
  if (r_.errors.empty()) {
    for (const auto& f : staged_) {
      if (!WriteAll(stage / fs::u8path(f.first), f.second)) Error("cannot write " + f.first);
      request.members.push_back(f.first);
      r_.config_files.push_back(f.first);
    }
  }
  std::string config_archive;
  if (r_.errors.empty()) {
    r_.config_password = !d_.config_password.empty()
                             ? d_.config_password
                             : Md5Hex(d_.key_text.empty() ? kKeyResourceText : d_.key_text);
    request.sevenzip = opt_.sevenzip;
    request.archive = (work_ / "config.7z").string();
    request.folder = stage.string();
    request.options = d_.config_options;
    request.password = r_.config_password;
    std::string error;
    if (!MakeArchive(request, error)) Error(error);
    else if (!ReadAll(work_ / "config.7z", config_archive)) Error("cannot read the configuration archive");
    if (d_.alter_signature) AlterSignature(config_archive);
  }
  // The uninstall icon becomes the icon of the launcher each install writes.
  const auto uninstall_icon = staged_.find(u8"卸载程序图标.ico");
  if (r_.errors.empty()) {
    InstallerParts parts;
    parts.setup_path = FromSource(setup).string();
    if (!opt_.setup_path.empty()) parts.setup_path = opt_.setup_path;
    parts.config_archive = config_archive;
    parts.data_archive_path = data_archive.string();
    parts.alter_data_signature = d_.alter_data_signature;
    if (staged_.count("setup.ico")) parts.program_icon = staged_["setup.ico"];
    if (uninstall_icon != staged_.end()) parts.launcher_icon = uninstall_icon->second;
    const fs::path installer =
        out_ / fs::u8path(d_.output_name.empty() ? d_.name + "-setup.exe" : d_.output_name);
    std::string error;
    if (WriteInstallerFile(parts, installer.string(), error)) r_.installer_path = installer.u8string();
    else Error(error);
  }
  if (!opt_.keep_work) fs::remove_all(work_, ec);
  r_.ok = r_.errors.empty();
}

}  // namespace

BuildResult BuildInstaller(const BuildOptions& options) {
  BuildResult result;
  Builder builder(options, result);
  builder.Run();
  return result;
}
