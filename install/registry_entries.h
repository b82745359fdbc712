// The registry entries of the install: the product's Uninstall entry and the records of the
// package's registry database (single values or whole ".reg" files), and the list of values the
// uninstaller removes. The decisions are plain functions; the writes go through RegistryEffects.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "install/install_config.h"
#include "runtime/text.h"

// The registry step of the install run over the process-wide records; sets the run state's
// uninstall registry list.
void WriteRegistryEntries();

inline constexpr std::string_view kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr std::string_view kInstallPathRegistryForm = "SXG(%InstallPath%)";

// One record of the database as stored (a missing key reads as empty).
struct RegistryRecord {
  std::string path;   // "REGpath": root name, backslash, sub key
  std::string type;   // "REGtype": "REG_SZ", "REG_BINARY", "REG_DWORD" or "file"
  Bytes data;         // "REGdata"
  std::string off;    // "REGoff": "真" removes the value when uninstalling
  std::string name;   // "REGname"
  std::string view;   // "REGws": "64" for the 64-bit view
};

// Every "SXG(%InstallPath%)" becomes the install directory with doubled backslashes (the form a
// quoted ".reg" string needs), then every "%InstallPath%" the plain directory.
Bytes SubstituteInstallPath(std::string_view database, std::string_view install_dir);

// The records 1.."num"; a key stored as the empty marker (01 02 03) reads as the empty text.
std::vector<RegistryRecord> ReadRegistryRecords(std::string_view database);

// 1 REG_SZ, 3 REG_BINARY, 4 REG_DWORD; any other text reuses `previous`.
uint32_t RegistryTypeCode(std::string_view type, uint32_t previous);

// The stored bytes of a value: a REG_DWORD's decimal text as four little-endian bytes; any other
// type's data with one zero byte appended.
Bytes RegistryValueBytes(uint32_t type, std::string_view data);

// The line of the uninstall registry list: path, backslash, name, "$,", view, CR LF.
std::string UninstallRegistryLine(const RegistryRecord& record);

// One planned effect.
struct RegistryAction {
  enum class Kind { kWriteValue, kImportFile };
  Kind kind = Kind::kWriteValue;
  int root = -1;
  std::string key;
  std::string name;
  uint32_t type = 0;
  Bytes data;           // the value as stored (see RegistryValueBytes), or the ".reg" text
  bool view64 = false;
};

struct RegistryPlan {
  std::vector<RegistryAction> actions;  // in order: the Uninstall entry, then the records
  std::string uninstall_list;           // UninstallRegistryList
};

// The six REG_SZ values of the product's Uninstall entry, in writing order (empty when the
// product has no name: the values would land in the Uninstall key itself).
std::vector<RegistryAction> UninstallEntryActions(const InstallConfig& config,
                                                  std::string_view install_dir);

// Everything the step writes, from the configuration, the expanded database and the directory.
RegistryPlan PlanRegistryEntries(const InstallConfig& config, std::string_view database,
                                 std::string_view install_dir);

// What a ".reg" text writes, in file order: each key it names (keys it deletes, "[-…]", left out)
// with the names of the values it sets there (values it deletes, "=-", left out; "" is the default
// value). The text is GBK, or UTF-16LE after its byte-order mark as the Registry Editor saves it;
// a line GBK cannot hold is left out. Keys under an unknown root are left out.
struct RegFileKey {
  int root = -1;
  std::string key;
  std::vector<std::string> values;
};
std::vector<RegFileKey> RegFileKeys(std::string_view text);

class RegistryEffects {
 public:
  virtual ~RegistryEffects() = default;
  // `data` as RegistryValueBytes gives it. `created_keys` receives the keys the write made
  // (levels of `key` that were not there before), parent first.
  virtual bool WriteValue(int root, const std::string& key, const std::string& name,
                          uint32_t type, const Bytes& data, bool view64,
                          std::vector<std::string>& created_keys) = 0;
  // Hands a ".reg" text (GBK) to the Registry Editor without waiting for it; the path of the file
  // it was given, empty when it could not be started.
  virtual std::string ImportRegFile(const Bytes& content) = 0;
  // Whether the Registry Editor imports into the 64-bit view (the view of its own width).
  virtual bool ImportView64() = 0;
  // The levels of `key` that do not exist in the view, parent first; empty when the key exists.
  virtual std::vector<std::string> MissingKeys(int root, const std::string& key, bool view64) = 0;
};
RegistryEffects& SystemRegistryEffects();

// The log line of one carried-out action: "写入注册项: " and the value's full path (root, key,
// name; a default value ends in the backslash), marked when written into the 64-bit view, or
// "导入注册表文件: " and the file handed to the Registry Editor; a failure says so.
std::string RegistryLogLine(const RegistryAction& action, bool ok, const std::string& reg_file);

struct RegistryStepResult {
  // UninstallRegistryList: the marked values, then the values ".reg" imports set in keys they made.
  std::string uninstall_list;
  // The keys the step made, one line each (root name, backslash, sub key, "$,", view "64" or "32",
  // CR LF), parent before child, each once. The uninstaller removes those of them that hold
  // nothing once the listed values are gone: keys the install found stay.
  std::string created_keys;
};

// Carries the plan out in order, each action with its log line through `log` (when given). The
// keys a ".reg" import will make are those of its file that are missing before it starts; the
// values it sets in them are listed for removal along with them, so that the keys can go.
RegistryStepResult CarryOutRegistryPlan(const RegistryPlan& plan, RegistryEffects& effects,
                                        const std::function<void(const std::string&)>& log = nullptr);
// The whole step.
RegistryStepResult WriteRegistryEntriesWith(const InstallConfig& config, std::string_view database,
                                            std::string_view install_dir, RegistryEffects& effects,
                                            const std::function<void(const std::string&)>& log = nullptr);

// The ".reg" file as written for the Registry Editor: UTF-16LE with its byte-order mark, converted
// from GBK, so it imports alike on every Windows language. Text that already is UTF-16LE (it
// starts with the mark) is kept.
Bytes RegFileBytes(std::string_view gbk_text);
// The command line that imports a file silently.
std::string RegeditCommand(const std::string& path);
// Starts the Registry Editor hidden on `reg_file` with RegeditCommand and does not wait for it;
// false when it could not be started (the native build starts nothing). The program is taken by
// full path from the system or Windows folder, never from the current folder. The file is removed
// at the installer's end once the editor has read it (it gets kRegistryImportGraceMs to finish);
// one whose editor is still running then is left to it.
bool StartRegistryEditor(const std::string& reg_file);
// True where the editor StartRegistryEditor starts imports into the 64-bit view: the system folder
// a program sees holds the editor of the program's own width.
bool RegistryEditorView64();
inline constexpr unsigned kRegistryImportGraceMs = 10000;
