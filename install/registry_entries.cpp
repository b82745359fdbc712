// What the registry step writes: the Uninstall entry and the database records, decided over texts;
// the writes themselves go through RegistryEffects.
#include "install/registry_entries.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "environment/registry.h"
#include "environment/system.h"
#include "install/registry_path.h"
#include "runtime/files.h"
#include "runtime/items.h"

namespace {

constexpr std::string_view kRecordStems[] = {"REGpath", "REGtype", "REGdata",
                                             "REGoff",  "REGname", "REGws"};
constexpr std::string_view kFileType = "file";
constexpr std::string_view kView64 = "64";
constexpr std::string_view kRemoveFlag = "真";
constexpr int kRootLocalMachine = 4;

// Every occurrence of `from`, as raw bytes: the database holds binary values, where a text search
// could mistake a byte for the lead byte of a character and step over a token.
Bytes ReplaceBytes(std::string_view data, std::string_view from, std::string_view to) {
  Bytes out;
  size_t copied = 0;
  for (size_t pos = FindBytes(data, from); pos != std::string_view::npos;
       pos = FindBytes(data, from, copied)) {
    out.append(data.substr(copied, pos - copied));
    out.append(to);
    copied = pos + from.size();
  }
  out.append(data.substr(copied));
  return out;
}

// The record items of a database, found in one sweep: for each item name, where its value starts
// (after the first occurrence of the name and 01, where a search by name finds it), and the
// highest record number any item carries. Reading n records then costs one sweep, not n, and
// records above the highest number (which hold nothing and write nothing) are not read at all.
class RecordItems {
 public:
  explicit RecordItems(std::string_view database) : database_(database) {
    for (size_t pos = FindBytes(database, "REG"); pos != std::string_view::npos;
         pos = FindBytes(database, "REG", pos + 1)) {
      for (std::string_view stem : kRecordStems) {
        if (database.compare(pos, stem.size(), stem) != 0) continue;
        const size_t digits = pos + stem.size();
        size_t end = digits;
        while (end < database.size() && end - digits < 10 && database[end] >= '0' &&
               database[end] <= '9')
          ++end;
        if (end == digits || end >= database.size() || database[end] != '\x01') continue;
        starts_.emplace(std::string(database.substr(pos, end - pos)), end + 1);
        highest_ = std::max(highest_, TextToInt(database.substr(digits, end - digits)));
      }
    }
  }

  int64_t highest() const { return highest_; }

  // The item's value; a missing item and the empty marker read as the empty text.
  Bytes Get(const std::string& name) const {
    const auto found = starts_.find(name);
    if (found == starts_.end()) return Bytes();
    const size_t to = FindBytes(database_, name + "end", found->second);
    if (to == std::string_view::npos) return Bytes();
    Bytes value(database_.substr(found->second, to - found->second));
    return value == kEmptyItemValue ? Bytes() : value;
  }

 private:
  std::string_view database_;
  std::unordered_map<std::string, size_t> starts_;
  int64_t highest_ = 0;
};

// The lines of a ".reg" text as GBK, without their line ends. A UTF-16 line that GBK cannot hold
// comes out as a key deletion line ("[-]"): neither it nor the values after it can be followed.
std::vector<std::string> RegFileLines(std::string_view text) {
  static constexpr std::string_view kByteOrderMark = "\xFF\xFE";
  std::vector<std::string> lines;
  if (StartsWith(text, kByteOrderMark)) {
    std::u16string wide;
    for (size_t i = kByteOrderMark.size(); i + 1 < text.size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                           static_cast<unsigned char>(text[i + 1]) << 8));
    }
    size_t start = 0;
    while (start <= wide.size()) {
      size_t end = wide.find(u'\n', start);
      if (end == std::u16string::npos) end = wide.size();
      std::u16string_view line(wide.data() + start, end - start);
      if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
      std::string gbk = Utf16ToGbk(line);
      lines.push_back(GbkToUtf16(gbk) == line ? std::move(gbk) : std::string("[-]"));
      start = end + 1;
    }
    return lines;
  }
  for (std::string line : SplitText(text, "\n")) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// The name of a value line ("name"=… or @=…), unescaped; false for any other line and for a line
// that deletes its value.
bool RegFileValueName(std::string_view line, std::string& name) {
  name.clear();
  size_t at = 0;
  if (StartsWith(line, "@")) {
    at = 1;
  } else if (StartsWith(line, "\"")) {
    for (at = 1; at < line.size() && line[at] != '"'; ++at) {
      if (IsLeadByte(static_cast<unsigned char>(line[at])) && at + 1 < line.size()) {
        name.append(line.substr(at, 2));
        ++at;
        continue;
      }
      if (line[at] == '\\' && at + 1 < line.size()) ++at;
      name.push_back(line[at]);
    }
    if (at >= line.size()) return false;
    ++at;
  } else {
    return false;
  }
  const std::string rest = TrimWhitespace(line.substr(at));
  return StartsWith(rest, "=") && !StartsWith(TrimWhitespace(std::string_view(rest).substr(1)), "-");
}

RegistryAction StringValue(const std::string& key, const char* name, const std::string& text,
                           bool view64) {
  RegistryAction action;
  action.root = kRootLocalMachine;
  action.key = key;
  action.name = name;
  action.type = kRegString;
  action.data = RegistryValueBytes(kRegString, text);
  action.view64 = view64;
  return action;
}

}  // namespace

Bytes SubstituteInstallPath(std::string_view database, std::string_view install_dir) {
  const std::string doubled = ReplaceAll(install_dir, "\\", "\\\\");
  return ReplaceBytes(ReplaceBytes(database, kInstallPathRegistryForm, doubled), kInstallPathToken,
                      install_dir);
}

std::vector<RegistryRecord> ReadRegistryRecords(std::string_view database) {
  std::vector<RegistryRecord> records;
  Bytes num;
  GetItem(database, "num", num);
  const RecordItems items(database);
  const int64_t count = std::min(TextToInt(num == kEmptyItemValue ? Bytes() : num), items.highest());
  for (int64_t i = 1; i <= count; ++i) {
    const std::string number = IntToText(i);
    RegistryRecord record;
    // Every key is read as the item format stores it: 01 02 03 is the empty text. For the data
    // this writes an empty value, for the name the key's default value.
    record.path = items.Get("REGpath" + number);
    record.type = items.Get("REGtype" + number);
    record.data = items.Get("REGdata" + number);
    record.off = items.Get("REGoff" + number);
    record.name = items.Get("REGname" + number);
    record.view = items.Get("REGws" + number);
    records.push_back(std::move(record));
  }
  return records;
}

uint32_t RegistryTypeCode(std::string_view type, uint32_t previous) {
  if (type == "REG_SZ") return kRegString;
  if (type == "REG_BINARY") return kRegBinary;
  if (type == "REG_DWORD") return kRegDword;
  return previous;
}

Bytes RegistryValueBytes(uint32_t type, std::string_view data) {
  if (type == kRegDword) {
    const uint32_t number = static_cast<uint32_t>(TextToInt(data));
    Bytes bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return bytes;
  }
  Bytes bytes(data);
  bytes.push_back('\0');
  return bytes;
}

std::string UninstallRegistryLine(const RegistryRecord& record) {
  return record.path + "\\" + record.name + "$," + record.view + "\r\n";
}

std::vector<RegistryAction> UninstallEntryActions(const InstallConfig& config,
                                                  std::string_view install_dir) {
  std::vector<RegistryAction> actions;
  if (config.product_name.empty()) return actions;
  const std::string key = std::string(kUninstallKey) + config.product_name;
  const std::string dir(install_dir);
  const bool view64 = config.RegistryView64();
  actions.push_back(StringValue(key, "DisplayIcon", dir + "\\" + config.main_program, view64));
  actions.push_back(
      StringValue(key, "DisplayName", config.product_name + " " + config.version, view64));
  actions.push_back(StringValue(key, "DisplayVersion", config.version, view64));
  actions.push_back(StringValue(key, "UninstallString", dir + "\\uninst.exe", view64));
  actions.push_back(StringValue(key, "InstallLocation", dir, view64));
  actions.push_back(StringValue(key, "Publisher", config.company_name, view64));
  return actions;
}

RegistryPlan PlanRegistryEntries(const InstallConfig& config, std::string_view database,
                                 std::string_view install_dir) {
  RegistryPlan plan;
  const Bytes expanded = SubstituteInstallPath(database, install_dir);
  if (config.GeneratesUninstaller()) plan.actions = UninstallEntryActions(config, install_dir);
  if (expanded.empty()) return plan;

  uint32_t type = 0;
  for (const RegistryRecord& record : ReadRegistryRecords(expanded)) {
    if (record.type == kFileType) {
      if (!record.data.empty()) {
        RegistryAction action;
        action.kind = RegistryAction::Kind::kImportFile;
        action.data = record.data;
        plan.actions.push_back(std::move(action));
      }
    } else {
      type = RegistryTypeCode(record.type, type);
      const RegistryPath path = ParseRegistryPath(record.path, true);
      if (path.root > 0) {
        RegistryAction action;
        action.root = path.root;
        action.key = path.sub_key;
        action.name = record.name;
        action.type = type;
        action.data = RegistryValueBytes(type, record.data);
        action.view64 = record.view == kView64;
        plan.actions.push_back(std::move(action));
      }
    }
    if (record.off == kRemoveFlag) plan.uninstall_list += UninstallRegistryLine(record);
  }
  return plan;
}

std::string RegistryLogLine(const RegistryAction& action, bool ok, const std::string& reg_file) {
  if (action.kind == RegistryAction::Kind::kImportFile) {
    return ok ? "导入注册表文件: " + reg_file : std::string("导入注册表文件失败");
  }
  std::string line = ok ? "写入注册项: " : "写入注册项失败: ";
  line += RegistryRootName(action.root);
  if (!action.key.empty()) line += "\\" + action.key;
  line += "\\" + action.name;
  if (action.view64) line += " (64位)";
  return line;
}

std::vector<RegFileKey> RegFileKeys(std::string_view text) {
  std::vector<RegFileKey> keys;
  bool in_key = false;  // value lines belong to the last key line, unless that one deleted its key
  for (const std::string& raw : RegFileLines(text)) {
    const std::string line = TrimWhitespace(raw);
    if (StartsWith(line, "[")) {
      // Key names may hold "]" themselves: the last one closes the line's key.
      const size_t close = FindLastText(line, "]");
      in_key = false;
      if (close == std::string::npos || StartsWith(line, "[-")) continue;
      std::string path = TrimWhitespace(std::string_view(line).substr(1, close - 1));
      // The editor takes root names in any letter case.
      const size_t cut = FindText(path, "\\");
      path = AsciiUpper(path.substr(0, cut)) + (cut == std::string::npos ? "" : path.substr(cut));
      RegistryPath parsed = ParseRegistryPath(path, false);
      while (EndsWithBackslash(parsed.sub_key)) parsed.sub_key.pop_back();
      if (parsed.root < 0 || parsed.sub_key.empty() ||
          path.substr(0, cut) != RegistryRootName(parsed.root))
        continue;
      keys.push_back({parsed.root, parsed.sub_key, {}});
      in_key = true;
      continue;
    }
    std::string name;
    if (in_key && RegFileValueName(line, name)) keys.back().values.push_back(std::move(name));
  }
  return keys;
}

RegistryStepResult CarryOutRegistryPlan(const RegistryPlan& plan, RegistryEffects& effects,
                                        const std::function<void(const std::string&)>& log) {
  RegistryStepResult result;
  result.uninstall_list = plan.uninstall_list;
  // Each key once, whichever action made it first (the registry matches names without case).
  std::set<std::string> listed;
  auto add_key = [&](int root, const std::string& key, bool view64) {
    const std::string line = std::string(RegistryRootName(root)) + "\\" + key + "$," +
                             (view64 ? "64" : "32") + "\r\n";
    if (listed.insert(AsciiLower(line)).second) result.created_keys += line;
  };
  for (const RegistryAction& action : plan.actions) {
    if (action.kind == RegistryAction::Kind::kImportFile) {
      // What is missing now is what the import makes: the editor has not started yet.
      const bool view64 = effects.ImportView64();
      std::vector<std::pair<int, std::string>> made;
      std::string values;
      for (const RegFileKey& key : RegFileKeys(action.data)) {
        const std::vector<std::string> missing = effects.MissingKeys(key.root, key.key, view64);
        for (const std::string& level : missing) made.emplace_back(key.root, level);
        if (missing.empty() || !EqualsIgnoreAsciiCase(missing.back(), key.key)) continue;
        for (const std::string& name : key.values) {
          // A name the list's line could not carry (the path is split at its last backslash) is
          // not followed; its key then stays.
          if (ContainsText(name, "\\") || ContainsText(name, "$,") || ContainsText(name, "\r") ||
              ContainsText(name, "\n"))
            continue;
          const std::string line = std::string(RegistryRootName(key.root)) + "\\" + key.key +
                                   "\\" + name + "$," + (view64 ? "64" : "32") + "\r\n";
          if (listed.insert(AsciiLower(line)).second) values += line;
        }
      }
      const std::string file = effects.ImportRegFile(action.data);
      if (log) log(RegistryLogLine(action, !file.empty(), file));
      if (file.empty()) continue;
      for (const auto& [root, key] : made) add_key(root, key, view64);
      result.uninstall_list += values;
      continue;
    }
    // A failed write stops nothing; the next record is written regardless.
    std::vector<std::string> keys;
    const bool ok = effects.WriteValue(action.root, action.key, action.name, action.type,
                                       action.data, action.view64, keys);
    if (log) log(RegistryLogLine(action, ok, std::string()));
    for (const std::string& key : keys) add_key(action.root, key, action.view64);
  }
  return result;
}

RegistryStepResult WriteRegistryEntriesWith(const InstallConfig& config, std::string_view database,
                                            std::string_view install_dir, RegistryEffects& effects,
                                            const std::function<void(const std::string&)>& log) {
  return CarryOutRegistryPlan(PlanRegistryEntries(config, database, install_dir), effects, log);
}

Bytes RegFileBytes(std::string_view gbk_text) {
  static constexpr std::string_view kByteOrderMark = "\xFF\xFE";
  if (StartsWith(gbk_text, kByteOrderMark)) return Bytes(gbk_text);
  const std::u16string wide = GbkToUtf16(gbk_text);
  Bytes bytes(kByteOrderMark);
  bytes.reserve(2 + 2 * wide.size());
  for (char16_t c : wide) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return bytes;
}

std::string RegeditCommand(const std::string& path) { return "regedit /s \"" + path + "\""; }

namespace {

class SystemEffects : public RegistryEffects {
 public:
  bool WriteValue(int root, const std::string& key, const std::string& name, uint32_t type,
                  const Bytes& data, bool view64, std::vector<std::string>& created_keys) override {
    return WriteRegistryValue(root, key, name, type, data, view64, &created_keys);
  }
  std::string ImportRegFile(const Bytes& content) override {
    // A fresh file per import: an earlier Registry Editor may still be reading its own.
    const std::string path = UniqueTempName() + ".reg";
    if (!WriteWholeFile(path, RegFileBytes(content)) || !StartRegistryEditor(path)) {
      DeleteFileAt(path);
      return std::string();
    }
    return path;
  }
  bool ImportView64() override { return RegistryEditorView64(); }
  std::vector<std::string> MissingKeys(int root, const std::string& key, bool view64) override {
    return MissingRegistryKeys(root, key, view64);
  }
};

}  // namespace

RegistryEffects& SystemRegistryEffects() {
  static SystemEffects effects;
  return effects;
}
