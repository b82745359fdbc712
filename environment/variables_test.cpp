// Tests of the variable table over fixed system answers: built-in tokens, order effects, the
// registry form, resource variables, and the whole pass over a configuration directory.
#include "environment/variables.h"

#include <gtest/gtest.h>

#include <map>

#include "environment/system.h"
#include "runtime/compressed_file.h"
#include "runtime/data_cipher.h"
#include "runtime/files.h"
#include "runtime/items.h"
#include "runtime/package_keys.h"

namespace {

class FakeSystem : public SystemValues {
 public:
  std::map<int, std::string> folders = {
      {3, "c:\\Users\\u\\Desktop\\"}, {6, "C:\\Menu\\Programs\\"}, {8, "C:\\Users\\u\\AppData\\"},
      {9, "C:\\Windows\\"},           {11, "c:\\temp\\"}};
  std::map<std::string, std::string> environment = {
      {"ProgramFiles", "C:\\Program Files (x86)"}, {"userprofile", "C:\\Users\\u"}};
  std::map<std::string, std::string> registry = {
      {"3:Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Personal",
       "d:\\Docs\\"},
      {"4:SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\产品\\InstallLocation",
       "D:\\Old\\产品\\"}};
  double version = 6.1;

  std::string Folder(int number) const override { return Find(folders, number); }
  std::string Environment(const std::string& name) const override {
    return Find(environment, name);
  }
  std::string RegistryText(int root, const std::string& path) const override {
    return Find(registry, std::to_string(root) + ":" + path);
  }
  double Version() const override { return version; }

 private:
  template <typename Map, typename Key>
  static std::string Find(const Map& map, const Key& key) {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
  }
};

const char kDataIni[] =
    "[墨桐软件安装配置]\r\n墨桐软件名称=产品\r\n软件版本=1.2\r\n公司名称=某公司\r\n"
    "包内的程序名=app.exe\r\n";

// A "variable.ini" with one section per token, each with the given stored value.
std::string VariableIni(const std::vector<std::pair<std::string, std::string>>& sections) {
  std::string ini;
  for (const auto& s : sections) ini += "[" + s.first + "]\r\n数据=" + s.second + "\r\n";
  return ini;
}

Bytes Expanded(const std::string& variable_ini, const std::string& text,
               const SystemValues& system, const std::string& var_data = "") {
  VariableTable table = MakeVariableTable(variable_ini, kDataIni, var_data, system);
  ConfigurationTexts texts;
  texts.data_ini = text;
  ExpandConfiguration(texts, table);
  return texts.data_ini;
}

TEST(Variables, BuiltInTokens) {
  FakeSystem system;
  struct Case {
    const char* token;
    const char* value;
  } cases[] = {
      {"%ProductName%", "产品"},
      {"%Version%", "1.2"},
      {"%CompanyCopyright%", "某公司"},
      {"%MainExe%", "app.exe"},
      {"%ProgramFiles%", "C:\\Program Files"},
      {"%ProgramFiles_x86%", "C:\\Program Files (x86)"},
      {"%TempDir%", "C:\\temp"},
      {"%WindowsDir%", "C:\\Windows"},
      {"%System32%", "C:\\Windows\\System32"},
      {"%SysWoW64%", "C:\\Windows\\SysWoW64"},
      {"%FONTS%", "C:\\Windows\\Fonts"},
      {"%MenuDir%", "C:\\Menu\\Programs"},
      {"%Desktop%", "C:\\Users\\u\\Desktop"},
      {"%AppData%", "C:\\Users\\u\\AppData"},
      {"%MyDocument%", "D:\\Docs"},
      {"%QuickLaunch%", "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"},
      {"%UserProfile%", "C:\\Users\\u"},
      {"%LastInPath%", "D:\\Old\\产品\\"},  // taken as the registry has it
      {"%InstallPath%", "%InstallPath%"},
      {"%AC%", "%AC%"},
      {"%ET%", "%ET%"},
      {"%Mine%", "#常量数据"},  // the placeholder is only ignored for built-in tokens
  };
  std::vector<std::pair<std::string, std::string>> sections;
  std::string text, expected;
  for (const Case& c : cases) {
    sections.push_back({c.token, "#常量数据"});
    text += std::string(c.token) + "|";
    expected += std::string(c.value) + "|";
  }
  EXPECT_EQ(Expanded(VariableIni(sections), text, system), expected);

  // Tokens are case-sensitive: a section "%desktop%" is a user variable.
  EXPECT_EQ(Expanded(VariableIni({{"%desktop%", "x"}}), "%desktop%", system), "x");
  // Without its section a built-in token is not replaced.
  EXPECT_EQ(Expanded(VariableIni({{"%Version%", "#常量数据"}}), "%Desktop%%Version%", system),
            "%Desktop%1.2");
}

TEST(Variables, SystemAnswersThatChangeTheValue) {
  struct Case {
    const char* what;
    void (*change)(FakeSystem&);
    const char* token;
    const char* value;
  } cases[] = {
      {"older Windows", [](FakeSystem& s) { s.version = 5.1; }, "%QuickLaunch%",
       "C:\\Users\\u\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch"},
      {"version 6 within tolerance", [](FakeSystem& s) { s.version = 5.99999999; },
       "%QuickLaunch%", "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"},
      {"no userprofile", [](FakeSystem& s) { s.environment.erase("userprofile"); }, "%QuickLaunch%",
       ""},
      {"no Windows folder", [](FakeSystem& s) { s.folders.erase(9); }, "%System32%", ""},
      {"64-bit program files", [](FakeSystem& s) { s.environment["ProgramFiles"] = "C:\\PF"; },
       "%ProgramFiles%", "C:\\PF"},
      {"every (x86) removed",
       [](FakeSystem& s) { s.environment["ProgramFiles"] = "C:\\A (x86)\\B (x86)"; },
       "%ProgramFiles%", "C:\\A\\B"},
      {"no registry value", [](FakeSystem& s) { s.registry.clear(); }, "%MyDocument%", ""},
      {"no desktop", [](FakeSystem& s) { s.folders.erase(3); }, "%Desktop%", ""},
      {"previous location in the 32-bit view only",
       [](FakeSystem& s) {
         s.registry.clear();
         const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\产品";
         s.registry[std::to_string(4 + kRootIn32BitView) + ":" + entry + "\\InstallLocation"] =
             "E:\\Old32";
       },
       "%LastInPath%", "E:\\Old32"},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    c.change(system);
    EXPECT_EQ(Expanded(VariableIni({{c.token, "#常量数据"}}), std::string("[") + c.token + "]",
                       system),
              std::string("[") + c.value + "]")
        << c.what;
  }
}

TEST(Variables, OrderOfExpansion) {
  FakeSystem system;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> sections;
    const char* text;
    const char* expected;
  } cases[] = {
      {"later token in a value is expanded", {{"%A%", "x%B%y"}, {"%B%", "b"}}, "%A%", "xby"},
      {"earlier token in a value stays", {{"%B%", "b"}, {"%A%", "x%B%y"}}, "%A%", "x%B%y"},
      {"own token does not loop", {{"%A%", "<%A%>"}}, "%A%%A%", "<%A%><%A%>"},
      {"built-in in a user value", {{"%A%", "%Version%"}, {"%Version%", "#常量数据"}}, "%A%", "1.2"},
      {"first section of a name wins the value", {{"%A%", "1"}, {"%a%", "2"}}, "%A%%a%", "11"},
      {"value with quotes and blanks", {{"%A%", "  \"q v\"  "}}, "%A%", "q v"},
      {"Chinese token", {{"版本", "v"}}, "版本", "v"},
      {"no match on a trail byte", {{"\xB0\xE6", "v"}}, "\xC4\xB0\xE6\x41", "\xC4\xB0\xE6\x41"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Expanded(VariableIni(c.sections), c.text, system), c.expected) << c.what;
  }
}

TEST(Variables, RegistryForm) {
  FakeSystem system;
  const std::string ini =
      VariableIni({{"%Desktop%", "#常量数据"}, {"%Version%", "#常量数据"}, {"%Plain%", "a\\b"},
                   {"%Gbk%", "C:\\\x95\x5c"}, {"%InstallPath%", "#常量数据"},
                   {"%ET%", "#常量数据"}});
  VariableTable table = MakeVariableTable(ini, kDataIni, "", system);
  struct Case {
    const char* database;
    const char* expected;
  } cases[] = {
      {"SXG(%Desktop%)", "C:\\\\Users\\\\u\\\\Desktop"},
      {"%Desktop%", "C:\\Users\\u\\Desktop"},
      {"SXG(%Version%)=%Version%", "1.2=1.2"},  // no backslash: the plain value
      {"\"SXG(%Plain%)\" %Plain%", "\"a\\\\b\" a\\b"},
      {"SXG(%Other%)", "SXG(%Other%)"},
      // The trail byte 5C of a double-byte character is no backslash and is not doubled.
      {"SXG(%Gbk%)", "C:\\\\\x95\x5c"},
      // Left for the install run, also when the table holds the token (as built-in tables do).
      {"SXG(%InstallPath%)\\bin=%InstallPath%", "SXG(%InstallPath%)\\bin=%InstallPath%"},
      {"SXG(%ET%)", "SXG(%ET%)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExpandRegistryDatabase(c.database, table), c.expected) << c.database;
    ConfigurationTexts texts;
    texts.registry_database = c.database;
    ExpandConfiguration(texts, table);
    EXPECT_EQ(texts.registry_database, c.expected);
  }
  // Other files know no registry form: the token inside it is replaced plainly.
  EXPECT_EQ(ExpandText("SXG(%Desktop%)", table), "SXG(C:\\Users\\u\\Desktop)");
}

TEST(Variables, ResourceVariables) {
  FakeSystem system;
  const std::string logo = std::string(kResourcePrefix) + "Logo";
  const std::string none = std::string(kResourcePrefix) + "None";
  const std::string empty = std::string(kResourcePrefix) + "Empty";
  const std::string self = std::string(kResourcePrefix) + "Self";
  const Bytes binary("\x89PNG\0\x01\x02", 7);
  Bytes var_data = AppendItem("", logo, binary);
  var_data = AppendItem(var_data, empty, "");  // stored as 01 02 03
  var_data = AppendItem(var_data, self, "[" + self + "+" + logo + "]");
  const std::string ini = VariableIni({{"%Logo%", logo},
                                       {"%None%", none},
                                       {"%Empty%", empty},
                                       {"%Self%", self},
                                       {"%Version%", "#常量数据"}});
  VariableTable table = MakeVariableTable(ini, kDataIni, var_data, system);
  ASSERT_EQ(table.resource_names, (std::vector<Bytes>{logo, self}));

  struct Case {
    const char* what;
    std::string text, expected;
  } cases[] = {
      {"token becomes the data", "a%Logo%b", "a" + binary + "b"},
      {"name written directly", logo + logo, binary + binary},
      {"missing item keeps the name", "%None%", none},
      {"01 02 03 keeps the name", "%Empty%", empty},
      {"inserted data is not searched again", "%Self%",
       "[" + self + "+" + logo + "]"},
      {"after a double-byte character", "中" + logo + "文", "中" + binary + "文"},
      {"interleaved names", logo + "x" + self + "y" + logo,
       binary + "x[" + self + "+" + logo + "]y" + binary},
  };
  for (const Case& c : cases) {
    ConfigurationTexts texts;
    texts.data_ini = texts.registry_database = texts.plugin_settings = texts.gui_text =
        texts.except = c.text;
    ExpandConfiguration(texts, table);
    for (const Bytes* t : {&texts.data_ini, &texts.registry_database, &texts.plugin_settings,
                           &texts.gui_text, &texts.except}) {
      EXPECT_EQ(*t, c.expected) << c.what;
    }
  }

  // Names overlapping one another are not defined for publishers; the sweep must still copy each
  // byte of the text at most once and never run past it.
  VariableTable overlapping;
  overlapping.resource_names = {"#AB", "#ABC", "B"};
  overlapping.resource_data = {"1", "2", "3"};
  EXPECT_EQ(ReplaceResources("#ABC#ABCB", overlapping), "1C1C3");
}

TEST(Variables, UninstallDataRecordAndRegistryFile) {
  const Bytes sep("\x23\xA3\xA1\xA1\xEF\xA3\xA1\x23", 8);
  EXPECT_EQ(kUninstallFieldSeparator, sep);
  EXPECT_EQ(kResourcePrefix, "\x23\xD7\xCA\xD4\xB4\xCA\xFD\xBE\xDD\x5F");
  EXPECT_EQ(UninstallDataRecord("s", "", std::string("v\0d", 3), "[%A%]"),
            "s" + sep + sep + std::string("v\0d", 3) + sep + "[%A%]" + sep);

  const Bytes database = AppendItem("", "num", "1");
  EXPECT_EQ(RegistryDatabaseFromFile(DeflateCompressedFile(database)), database);
  Bytes truncated = DeflateCompressedFile(database);
  truncated.resize(truncated.size() - 3);
  for (const Bytes& bad : {database, Bytes("\x0D\x0F\x3E\x03", 4), truncated, Bytes()})
    EXPECT_EQ(RegistryDatabaseFromFile(bad), "");
}

// The whole pass over a configuration directory on disk.
class BuildVariablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = UniqueTempName() + "\\";
    ASSERT_TRUE(CreateOneFolder(dir_));
  }
  void TearDown() override { RemoveFolderTree(dir_); }
  void Put(const char* name, std::string_view content) {
    ASSERT_TRUE(WriteWholeFile(dir_ + name, content));
  }
  Bytes Get(const char* name) {
    Bytes content;
    EXPECT_TRUE(ReadWholeFile(dir_ + name, content)) << name;
    return content;
  }
  std::string dir_;
  FakeSystem system_;
};

TEST_F(BuildVariablesTest, RewritesTheConfigurationFiles) {
  const std::string logo = std::string(kResourcePrefix) + "Logo";
  const std::string variable_ini = VariableIni({{"%ProductName%", "#常量数据"},
                                                {"%Desktop%", "#常量数据"},
                                                {"%Logo%", logo},
                                                {"%InstallPath%", "#常量数据"}});
  const Bytes var_data = AppendItem("", logo, "LOGO");
  const Bytes plugin_db("QEVDLL\0bytes", 12);
  Put("variable.ini", variable_ini);
  Put("var_data.ini", var_data);
  Put("QEVDLL.db", plugin_db);
  Put("data.ini", std::string(kDataIni) + "目录=%InstallPath%\\%ProductName%\r\n图=%Logo%\r\n");
  Put("QEVDLL_s.ini", "d=%Desktop%");
  Put("GUItext.ini", EncipherData("标题=%ProductName% 安装", kGuiTextPassword));
  Put("Except.ini", EncipherData("%InstallPath%\\%ProductName%,-1", kExceptPassword));
  Put("QEVREG.db", DeflateCompressedFile("REGdata1\x01SXG(%Desktop%)|%Desktop%REGdata1end"));

  BuildVariables(dir_, system_);

  EXPECT_EQ(Get("data.ini"),
            std::string(kDataIni) + "目录=%InstallPath%\\产品\r\n图=LOGO\r\n");
  EXPECT_EQ(Get("QEVDLL_s.ini"), "d=C:\\Users\\u\\Desktop");
  EXPECT_EQ(Get("GUItext.ini"), "标题=产品 安装");
  EXPECT_EQ(Get("Except.ini"), "%InstallPath%\\产品,-1");
  EXPECT_EQ(Variables().registry_database,
            "REGdata1\x01" "C:\\\\Users\\\\u\\\\Desktop|C:\\Users\\u\\DesktopREGdata1end");
  // The record holds the files as they were before expansion; the plug-in settings unexpanded.
  EXPECT_EQ(Variables().uninstall_data,
            UninstallDataRecord("d=%Desktop%", plugin_db, var_data, variable_ini));
  // The stored registry database is left as it was.
  EXPECT_TRUE(IsCompressedFile(Get("QEVREG.db")));
  // The table stays for the texts expanded later (shortcut folders).
  EXPECT_EQ(ExpandText("%Desktop%\\%ProductName%", Variables().table), "C:\\Users\\u\\Desktop\\产品");
}

TEST_F(BuildVariablesTest, MissingFilesAndNoVariables) {
  // Only variable.ini: every expanded file is written, empty.
  Put("variable.ini", VariableIni({{"%A%", "a"}}));
  BuildVariables(dir_, system_);
  for (const char* name : {"data.ini", "QEVDLL_s.ini", "GUItext.ini", "Except.ini"})
    EXPECT_EQ(Get(name), "") << name;
  EXPECT_EQ(Variables().registry_database, "");
  const std::string sep(kUninstallFieldSeparator);
  EXPECT_EQ(Variables().uninstall_data, sep + sep + sep + VariableIni({{"%A%", "a"}}) + sep);

  // A variable.ini without sections: nothing is read or written and the record is empty.
  for (const std::string& ini : {std::string("; only a comment\r\nkey=value\r\n"), std::string()}) {
    Put("variable.ini", ini);
    const Bytes enciphered = EncipherData("%A%", kGuiTextPassword);
    Put("GUItext.ini", enciphered);
    Put("data.ini", "%A%");
    BuildVariables(dir_, system_);
    EXPECT_EQ(Get("GUItext.ini"), enciphered);
    EXPECT_EQ(Get("data.ini"), "%A%");
    EXPECT_EQ(Variables().uninstall_data, "");
  }
  // No configuration directory at all.
  BuildVariables("", system_);
  EXPECT_EQ(Variables().uninstall_data, "");
}

}  // namespace
