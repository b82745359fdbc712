// The variable table: built from "variable.ini" right after the configuration is unpacked, and
// applied to the configuration files by plain byte replacement. The same pass keeps the registry
// database and the uninstall data record in memory for the install run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/profile.h"
#include "runtime/text.h"

// The system facts the built-in tokens are computed from. The real ones ask Windows; tests give
// fixed answers.
class SystemValues {
 public:
  virtual ~SystemValues() = default;
  virtual std::string Folder(int number) const = 0;  // SpecialFolder numbers 1..11
  virtual std::string Environment(const std::string& name) const = 0;
  // `root` may carry kRootIn32BitView (environment/system.h).
  virtual std::string RegistryText(int root, const std::string& value_path) const = 0;
  virtual double Version() const = 0;
};
const SystemValues& RealSystemValues();

// A stored value starting with this names a resource of "var_data.ini".
inline constexpr std::string_view kResourcePrefix = "#资源数据_";
// Follows each of the four fields of the uninstall data record.
inline constexpr std::string_view kUninstallFieldSeparator = "#！★！#";
// The registry database's form of a token whose value goes into a quoted ".reg" string:
// "SXG(" token ")" becomes the value with every backslash doubled.
inline constexpr std::string_view kRegistryFormOpen = "SXG(";

struct Variable {
  std::string token;  // the section name of "variable.ini", percent signs included
  Bytes value;
};

struct VariableTable {
  std::vector<Variable> variables;    // in the order of "variable.ini"
  std::vector<Bytes> resource_names;  // resource variables whose data was found
  std::vector<Bytes> resource_data;   // parallel to resource_names
};

// True for the tokens whose value the installer computes rather than takes from "variable.ini".
bool IsBuiltInToken(std::string_view token);
// The value of a built-in token; false (value untouched) for any other token.
bool BuiltInValue(std::string_view token, const ProfileText& data_ini, const SystemValues& system,
                  Bytes& value);

// The table from the texts of "variable.ini", "data.ini" and "var_data.ini".
VariableTable MakeVariableTable(std::string_view variable_ini, std::string_view data_ini,
                                std::string_view var_data, const SystemValues& system);

// Every token replaced by its value, variable by variable in table order, so a value holding the
// token of a later variable is expanded and one holding an earlier token is not.
Bytes ExpandText(std::string_view text, const VariableTable& table);
// The same for the registry database, where "SXG(" token ")" takes the value with doubled
// backslashes before the bare token takes the plain value.
Bytes ExpandRegistryDatabase(std::string_view database, const VariableTable& table);
// Every resource name replaced by its data in one sweep over the text: occurrences are found in
// the text as it is, so inserted data is never searched and never replaced again.
Bytes ReplaceResources(std::string_view text, const VariableTable& table);

// The configuration texts the table is applied to, in memory.
struct ConfigurationTexts {
  Bytes data_ini;
  Bytes registry_database;
  Bytes plugin_settings;  // "QEVDLL_s.ini"
  Bytes gui_text;         // "GUItext.ini", deciphered
  Bytes except;           // "Except.ini", deciphered
};
// Variables, then resources, in every text.
void ExpandConfiguration(ConfigurationTexts& texts, const VariableTable& table);

// The four raw files, each followed by the field separator.
Bytes UninstallDataRecord(std::string_view plugin_settings, std::string_view plugin_database,
                          std::string_view var_data, std::string_view variable_ini);
// The registry database from the stored "QEVREG.db" (magic, length, zlib stream); empty when the
// file is not in that form or does not decompress.
Bytes RegistryDatabaseFromFile(std::string_view stored);

// What the variable pass leaves for the rest of the run; set once, read by the install run and
// the uninstaller generation.
struct VariableRecord {
  Bytes registry_database;  // expanded, "%InstallPath%" still in place
  Bytes uninstall_data;     // the content of the "uninst_dat" group
  VariableTable table;      // for texts expanded when they are used (shortcut folders)
};
const VariableRecord& Variables();

// Builds the table from the files of the configuration directory (ending with a backslash) and
// rewrites "data.ini", "QEVDLL_s.ini", "GUItext.ini" and "Except.ini" there with every variable
// replaced (the last two deciphered). Without sections in "variable.ini", or without a
// configuration directory, nothing is read or written and the record stays empty.
void BuildVariables(const std::string& config_dir);
void BuildVariables(const std::string& config_dir, const SystemValues& system);
