// The variable table and the expansion of the configuration files (see variables.h).
#include "environment/variables.h"

#include <algorithm>

#include "environment/system.h"
#include "runtime/compressed_file.h"
#include "runtime/data_cipher.h"
#include "runtime/files.h"
#include "runtime/items.h"
#include "runtime/package_keys.h"

namespace {

constexpr const char* kSetupSection = "墨桐软件安装配置";
constexpr const char* kValueKey = "数据";
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Personal";
constexpr int kRootCurrentUser = 3;
constexpr int kRootLocalMachine = 4;

// Special folder numbers used here.
constexpr int kFolderDesktop = 3;
constexpr int kFolderPrograms = 6;
constexpr int kFolderAppData = 8;
constexpr int kFolderWindows = 9;

enum class BuiltIn {
  kProductName, kVersion, kCompany, kMainExe, kProgramFiles, kProgramFilesX86, kTempDir,
  kWindowsDir, kSystem32, kSysWow64, kFonts, kMenuDir, kDesktop, kAppData, kMyDocument,
  kQuickLaunch, kUserProfile, kLastInPath, kLater,
};

struct BuiltInName {
  const char* token;
  BuiltIn which;
};

constexpr BuiltInName kBuiltIns[] = {
    {"%ProductName%", BuiltIn::kProductName},   {"%Version%", BuiltIn::kVersion},
    {"%CompanyCopyright%", BuiltIn::kCompany},  {"%MainExe%", BuiltIn::kMainExe},
    {"%ProgramFiles%", BuiltIn::kProgramFiles}, {"%ProgramFiles_x86%", BuiltIn::kProgramFilesX86},
    {"%TempDir%", BuiltIn::kTempDir},           {"%WindowsDir%", BuiltIn::kWindowsDir},
    {"%System32%", BuiltIn::kSystem32},         {"%SysWoW64%", BuiltIn::kSysWow64},
    {"%FONTS%", BuiltIn::kFonts},               {"%MenuDir%", BuiltIn::kMenuDir},
    {"%Desktop%", BuiltIn::kDesktop},           {"%AppData%", BuiltIn::kAppData},
    {"%MyDocument%", BuiltIn::kMyDocument},     {"%QuickLaunch%", BuiltIn::kQuickLaunch},
    {"%UserProfile%", BuiltIn::kUserProfile},   {"%LastInPath%", BuiltIn::kLastInPath},
    // Resolved once the install directory is known: the token stays in the text.
    {"%InstallPath%", BuiltIn::kLater},         {"%AC%", BuiltIn::kLater},
    {"%ET%", BuiltIn::kLater},
};

const BuiltInName* FindBuiltIn(std::string_view token) {
  for (const BuiltInName& b : kBuiltIns)
    if (token == b.token) return &b;
  return nullptr;
}

std::string NormalisedFolder(const SystemValues& system, int number) {
  return NormalisePath(system.Folder(number));
}

// A folder below a system folder; unknown when the system folder is unknown, rather than a path
// hanging from the root of the current drive.
std::string Below(const std::string& base, const char* rest) {
  return base.empty() ? std::string() : base + rest;
}

std::string QuickLaunch(const SystemValues& system) {
  // The version is compared with a small tolerance, as every version test of the installer is.
  const bool older_layout = system.Version() < 6.0 - 0.0000001;
  return Below(system.Environment("userprofile"),
               older_layout ? "\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch"
                            : "\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
}

std::string ComputeBuiltIn(const BuiltInName& b, const ProfileText& data_ini,
                           const SystemValues& system) {
  auto setup = [&](const char* key) { return data_ini.Get(kSetupSection, key); };
  switch (b.which) {
    case BuiltIn::kProductName: return setup("墨桐软件名称");
    case BuiltIn::kVersion: return setup("软件版本");
    case BuiltIn::kCompany: return setup("公司名称");
    case BuiltIn::kMainExe: return setup("包内的程序名");
    case BuiltIn::kProgramFiles: return ReplaceAll(system.Environment("ProgramFiles"), " (x86)", "");
    case BuiltIn::kProgramFilesX86: return system.Environment("ProgramFiles");
    case BuiltIn::kTempDir: return NormalisedFolder(system, kFolderTemp);
    case BuiltIn::kWindowsDir: return NormalisedFolder(system, kFolderWindows);
    case BuiltIn::kSystem32: return Below(NormalisedFolder(system, kFolderWindows), "\\System32");
    case BuiltIn::kSysWow64: return Below(NormalisedFolder(system, kFolderWindows), "\\SysWoW64");
    case BuiltIn::kFonts: return Below(NormalisedFolder(system, kFolderWindows), "\\Fonts");
    case BuiltIn::kMenuDir: return NormalisedFolder(system, kFolderPrograms);
    case BuiltIn::kDesktop: return NormalisedFolder(system, kFolderDesktop);
    case BuiltIn::kAppData: return NormalisedFolder(system, kFolderAppData);
    case BuiltIn::kMyDocument:
      return NormalisePath(system.RegistryText(kRootCurrentUser, kShellFolders));
    case BuiltIn::kQuickLaunch: return QuickLaunch(system);
    case BuiltIn::kUserProfile: return system.Environment("userprofile");
    case BuiltIn::kLastInPath: {
      // As the previous-location look-up: an Uninstall entry written for the 32-bit view lies
      // there on 64-bit Windows.
      const std::string path =
          std::string(kUninstallKey) + setup("墨桐软件名称") + "\\InstallLocation";
      std::string value = system.RegistryText(kRootLocalMachine, path);
      if (value.empty()) value = system.RegistryText(kRootLocalMachine + kRootIn32BitView, path);
      return value;
    }
    case BuiltIn::kLater: return b.token;
  }
  return std::string();
}

// Successive non-overlapping occurrences of a needle, left to right, each starting on a character
// boundary of the GBK text (as every text search of the installer does). The boundary walk only
// moves forward, so a whole text costs one walk however many matches it holds.
class Matches {
 public:
  Matches(std::string_view text, std::string_view needle) : text_(text), needle_(needle) {}
  // The next occurrence at or after `from`; npos when none.
  size_t Next(size_t from) {
    if (needle_.empty()) return std::string_view::npos;
    for (size_t pos = FindBytes(text_, needle_, from); pos != std::string_view::npos;
         pos = FindBytes(text_, needle_, pos + 1)) {
      while (boundary_ < pos) {
        boundary_ += (IsLeadByte(static_cast<unsigned char>(text_[boundary_])) &&
                      boundary_ + 1 < text_.size()) ? 2 : 1;
      }
      if (boundary_ == pos) return pos;
    }
    return std::string_view::npos;
  }

 private:
  std::string_view text_, needle_;
  size_t boundary_ = 0;
};

// Every occurrence of `from` in `text` replaced by `to`, built in `spare` and swapped in: the two
// buffers are reused from one variable to the next, so a large file is not reallocated (and its
// fresh pages not touched again) on every pass.
void ReplaceIn(Bytes& text, std::string_view from, std::string_view to, Bytes& spare) {
  Matches matches(text, from);
  size_t pos = matches.Next(0);
  if (pos == std::string_view::npos) return;
  spare.clear();
  size_t copied = 0;
  for (; pos != std::string_view::npos; pos = matches.Next(copied)) {
    spare.append(text, copied, pos - copied);
    spare.append(to);
    copied = pos + from.size();
  }
  spare.append(text, copied, std::string::npos);
  text.swap(spare);
}

Bytes ReadOrEmpty(const std::string& path) {
  Bytes content;
  if (!ReadWholeFile(path, content)) content.clear();
  return content;
}

VariableRecord& Record() {
  static VariableRecord record;
  return record;
}

class RealValues : public SystemValues {
 public:
  std::string Folder(int number) const override { return SpecialFolder(number); }
  std::string Environment(const std::string& name) const override {
    return EnvironmentVariable(name);
  }
  std::string RegistryText(int root, const std::string& value_path) const override {
    if (root & kRootIn32BitView)
      return ReadRegistryText(root & ~kRootIn32BitView, value_path, RegistryView::k32);
    return ReadRegistryText(root, value_path);
  }
  double Version() const override { return WindowsVersion(); }
};

}  // namespace

const SystemValues& RealSystemValues() {
  static const RealValues values;
  return values;
}

bool IsBuiltInToken(std::string_view token) { return FindBuiltIn(token) != nullptr; }

bool BuiltInValue(std::string_view token, const ProfileText& data_ini, const SystemValues& system,
                  Bytes& value) {
  const BuiltInName* b = FindBuiltIn(token);
  if (!b) return false;
  value = ComputeBuiltIn(*b, data_ini, system);
  return true;
}

VariableTable MakeVariableTable(std::string_view variable_ini, std::string_view data_ini,
                                std::string_view var_data, const SystemValues& system) {
  VariableTable table;
  const ProfileText variables(variable_ini);
  const ProfileText setup(data_ini);
  for (const std::string& token : variables.SectionNames()) {
    // An empty token would match nothing, but its registry form "SXG()" would.
    if (token.empty()) continue;
    Bytes value;
    if (!BuiltInValue(token, setup, system, value)) value = variables.Get(token, kValueKey);
    if (StartsWith(value, kResourcePrefix)) {
      Bytes data;
      // A resource without data keeps its name in the files.
      if (GetItem(var_data, value, data) && data != kEmptyItemValue) {
        table.resource_names.push_back(value);
        table.resource_data.push_back(std::move(data));
      }
    }
    table.variables.push_back({token, std::move(value)});
  }
  return table;
}

Bytes ExpandText(std::string_view text, const VariableTable& table) {
  Bytes out(text), spare;
  for (const Variable& v : table.variables) ReplaceIn(out, v.token, v.value, spare);
  return out;
}

Bytes ExpandRegistryDatabase(std::string_view database, const VariableTable& table) {
  Bytes out(database), spare;
  for (const Variable& v : table.variables) {
    // "%InstallPath%" and the other tokens resolved later stand for themselves here; their
    // registry form must survive too, or the install run could no longer double the backslashes
    // of the install directory inside it.
    if (v.value == v.token) continue;
    const std::string wrapped = std::string(kRegistryFormOpen) + v.token + ")";
    ReplaceIn(out, wrapped, ReplaceAll(v.value, "\\", "\\\\"), spare);
    ReplaceIn(out, v.token, v.value, spare);
  }
  return out;
}

Bytes ReplaceResources(std::string_view text, const VariableTable& table) {
  constexpr size_t kSkipped = static_cast<size_t>(-1);
  struct Hit {
    size_t pos;
    size_t resource;
  };
  std::vector<Hit> hits;
  for (size_t r = 0; r < table.resource_names.size(); ++r) {
    const Bytes& name = table.resource_names[r];
    Matches matches(text, name);
    for (size_t pos = matches.Next(0); pos != std::string_view::npos;
         pos = matches.Next(pos + name.size())) {
      hits.push_back({pos, r});
    }
  }
  if (hits.empty()) return Bytes(text);
  std::stable_sort(hits.begin(), hits.end(),
                   [](const Hit& a, const Hit& b) { return a.pos < b.pos; });
  // Names overlapping one another: the one starting first (or registered first) wins.
  size_t copied = 0, size = 0;
  for (Hit& h : hits) {
    if (h.pos < copied) {
      h.resource = kSkipped;
      continue;
    }
    size += h.pos - copied + table.resource_data[h.resource].size();
    copied = h.pos + table.resource_names[h.resource].size();
  }
  // The size is known before the sweep, so large data is copied exactly once.
  Bytes out;
  out.reserve(size + text.size() - copied);
  copied = 0;
  for (const Hit& h : hits) {
    if (h.resource == kSkipped) continue;
    out.append(text.data() + copied, h.pos - copied);
    out.append(table.resource_data[h.resource]);
    copied = h.pos + table.resource_names[h.resource].size();
  }
  out.append(text.data() + copied, text.size() - copied);
  return out;
}

void ExpandConfiguration(ConfigurationTexts& texts, const VariableTable& table) {
  texts.data_ini = ExpandText(texts.data_ini, table);
  texts.registry_database = ExpandRegistryDatabase(texts.registry_database, table);
  texts.plugin_settings = ExpandText(texts.plugin_settings, table);
  texts.gui_text = ExpandText(texts.gui_text, table);
  texts.except = ExpandText(texts.except, table);
  if (table.resource_names.empty()) return;
  for (Bytes* t : {&texts.data_ini, &texts.registry_database, &texts.plugin_settings,
                   &texts.gui_text, &texts.except}) {
    *t = ReplaceResources(*t, table);
  }
}

Bytes UninstallDataRecord(std::string_view plugin_settings, std::string_view plugin_database,
                          std::string_view var_data, std::string_view variable_ini) {
  Bytes record;
  for (std::string_view field : {plugin_settings, plugin_database, var_data, variable_ini}) {
    record.append(field);
    record.append(kUninstallFieldSeparator);
  }
  return record;
}

Bytes RegistryDatabaseFromFile(std::string_view stored) {
  Bytes database;
  if (!InflateCompressedFile(stored, database)) database.clear();
  return database;
}

const VariableRecord& Variables() { return Record(); }

void BuildVariables(const std::string& config_dir) { BuildVariables(config_dir, RealSystemValues()); }

void BuildVariables(const std::string& config_dir, const SystemValues& system) {
  VariableRecord& record = Record();
  record = VariableRecord();
  if (config_dir.empty()) return;
  auto path = [&](const char* name) { return config_dir + name; };
  const Bytes variable_ini = ReadOrEmpty(path("variable.ini"));
  if (ProfileSectionNames(variable_ini).empty()) return;

  ConfigurationTexts texts;
  texts.data_ini = ReadOrEmpty(path("data.ini"));
  texts.registry_database = RegistryDatabaseFromFile(ReadOrEmpty(path("QEVREG.db")));
  texts.plugin_settings = ReadOrEmpty(path("QEVDLL_s.ini"));
  const Bytes var_data = ReadOrEmpty(path("var_data.ini"));
  record.uninstall_data = UninstallDataRecord(texts.plugin_settings, ReadOrEmpty(path("QEVDLL.db")),
                                              var_data, variable_ini);
  texts.gui_text = DecipherData(ReadOrEmpty(path("GUItext.ini")), kGuiTextPassword);
  texts.except = DecipherData(ReadOrEmpty(path("Except.ini")), kExceptPassword);

  const VariableTable table = MakeVariableTable(variable_ini, texts.data_ini, var_data, system);
  ExpandConfiguration(texts, table);

  // A failed write is not reported: later readers then find the file as it was, or nothing.
  WriteWholeFile(path("data.ini"), texts.data_ini);
  WriteWholeFile(path("QEVDLL_s.ini"), texts.plugin_settings);
  WriteWholeFile(path("GUItext.ini"), texts.gui_text);
  WriteWholeFile(path("Except.ini"), texts.except);
  record.registry_database = std::move(texts.registry_database);
  record.table = table;
}
