// Tests of the registry decisions: records read from a database in the item format, the empty
// markers, type codes and their reuse, value bytes, the install path forms, the Uninstall entry,
// the uninstall list and the ".reg" file bytes.
#include "install/registry_entries.h"

#include <gtest/gtest.h>

#include "environment/registry.h"
#include "runtime/items.h"

namespace {

// A database of records, each given as its six keys; an empty text leaves the key out.
Bytes Database(const std::string& num, const std::vector<RegistryRecord>& records,
               int first_number = 1) {
  Bytes db = AppendItem("", "num", num);
  int i = first_number;
  for (const RegistryRecord& r : records) {
    const std::string n = std::to_string(i++);
    auto put = [&](const char* stem, const std::string& value) {
      if (!value.empty()) db = AppendItem(db, stem + n, value);
    };
    put("REGpath", r.path);
    put("REGtype", r.type);
    put("REGdata", r.data);
    put("REGoff", r.off);
    put("REGname", r.name);
    put("REGws", r.view);
  }
  return db;
}

std::string Describe(const RegistryAction& a) {
  if (a.kind == RegistryAction::Kind::kImportFile) return "import " + a.data;
  return std::to_string(a.root) + "|" + a.key + "|" + a.name + "|" + std::to_string(a.type) + "|" +
         HexText(a.data) + "|" + (a.view64 ? "64" : "32");
}

const std::string kEmpty(kEmptyItemValue);

TEST(RegistryRecordsTest, ReadingMarkersAndNumbers) {
  const Bytes db = Database("3", {{"HKEY_CURRENT_USER\\Software\\X\\", "REG_SZ", kEmpty, "真", kEmpty, "64"},
                                  {"HKEY_USERS\\.DEFAULT\\Y", "REG_DWORD", "42", "", "n", ""},
                                  {"", "", "", "", "", ""}});
  // The third record holds no item: it would write nothing and is not read.
  const std::vector<RegistryRecord> records = ReadRegistryRecords(db);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].path, "HKEY_CURRENT_USER\\Software\\X\\");
  EXPECT_EQ(records[0].data, "");   // the marker reads as empty
  EXPECT_EQ(records[0].name, "");
  EXPECT_EQ(records[0].off, "真");
  EXPECT_EQ(records[0].view, "64");
  EXPECT_EQ(records[1].data, "42");
  EXPECT_EQ(records[1].name, "n");

  // Record 1 is not confused with record 10, nor 2 with 12.
  std::vector<RegistryRecord> twelve(12);
  for (int i = 0; i < 12; ++i) twelve[i].name = "v" + std::to_string(i + 1);
  const std::vector<RegistryRecord> read = ReadRegistryRecords(Database("12", twelve));
  ASSERT_EQ(read.size(), 12u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(read[i].name, "v" + std::to_string(i + 1));

  // Values that hold other items' names, and a repeated item: the first occurrence wins, as a
  // search by name finds it.
  Bytes tricky = Database("2", {{"HKEY_USERS\\REGname2", "REG_SZ", "REGpath1REGname1 end", "", "REGdata2", ""},
                                {"HKEY_USERS\\B", "REG_SZ", "x", "", "second", ""}});
  tricky = AppendItem(tricky, "REGname2", "later");
  const std::vector<RegistryRecord> read_tricky = ReadRegistryRecords(tricky);
  ASSERT_EQ(read_tricky.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    const std::string n = std::to_string(i + 1);
    Bytes path, data, name;
    GetItem(tricky, "REGpath" + n, path);
    GetItem(tricky, "REGdata" + n, data);
    GetItem(tricky, "REGname" + n, name);
    EXPECT_EQ(read_tricky[i].path, path);
    EXPECT_EQ(read_tricky[i].data, data);
    EXPECT_EQ(read_tricky[i].name, name);
  }
  EXPECT_EQ(read_tricky[1].name, "second");

  struct CountCase {
    Bytes db;
    size_t records;
  } counts[] = {
      {Database("", {{"HKEY_USERS\\A", "REG_SZ", "", "", "", ""}}), 0},
      {Database("x", {{"HKEY_USERS\\A", "REG_SZ", "", "", "", ""}}), 0},
      {Database("-3", {{"HKEY_USERS\\A", "REG_SZ", "", "", "", ""}}), 0},
      {Database("1", {{"HKEY_USERS\\A", "REG_SZ", "", "", "", ""}, {"HKEY_USERS\\B", "", "", "", "", ""}}), 1},
      // Records above the last one stored hold nothing, whatever "num" says.
      {Database("99999999999", {{"HKEY_USERS\\A", "REG_SZ", "", "", "", ""}}), 1},
      // A gap in the numbering still counts as a record.
      {Database("3", {{"HKEY_USERS\\C", "REG_SZ", "", "", "", ""}}, 3), 3},
      {Bytes(), 0},
  };
  for (const CountCase& c : counts) EXPECT_EQ(ReadRegistryRecords(c.db).size(), c.records) << c.db;
}

TEST(RegistryRecordsTest, TypesAndValueBytes) {
  struct TypeCase {
    std::string type;
    uint32_t previous, code;
  } types[] = {
      {"REG_SZ", 0, 1}, {"REG_BINARY", 1, 3}, {"REG_DWORD", 3, 4},
      {"", 4, 4},       {"REG_EXPAND_SZ", 3, 3}, {"reg_sz", 0, 0},
  };
  for (const TypeCase& c : types) EXPECT_EQ(RegistryTypeCode(c.type, c.previous), c.code) << c.type;

  struct BytesCase {
    uint32_t type;
    std::string data;
    std::string hex;
  } values[] = {
      {kRegDword, "42", "2a000000"},
      {kRegDword, "", "00000000"},
      {kRegDword, "-1", "ffffffff"},
      {kRegDword, "4294967297", "01000000"},  // the low 32 bits
      {kRegDword, "16x", "10000000"},
      {kRegBinary, std::string("\x00\x01\xFF\x7F", 4), "0001ff7f00"},
      {kRegString, "文本", "cec4b1be00"},
      {kRegString, "", "00"},
      {0, "a", "6100"},
  };
  for (const BytesCase& c : values)
    EXPECT_EQ(HexText(RegistryValueBytes(c.type, c.data)), c.hex) << c.data;
}

TEST(RegistryRecordsTest, InstallPathForms) {
  struct Case {
    std::string database, dir, expected;
  } cases[] = {
      {"\"p\"=\"SXG(%InstallPath%)\\\\bin\"", "C:\\App", "\"p\"=\"C:\\\\App\\\\bin\""},
      {"%InstallPath%|SXG(%InstallPath%)|%InstallPath%", "D:\\A B", "D:\\A B|D:\\\\A B|D:\\A B"},
      // A character whose second byte is 0x5C is not a separator and is not doubled.
      {"SXG(%InstallPath%)", "C:\\\x81\x5C", "C:\\\\\x81\x5C"},
      // Binary bytes before a token do not hide it.
      {std::string("\x81%InstallPath%", 14), "C:\\X", "\x81" "C:\\X"},
      {"no token", "C:\\X", "no token"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SubstituteInstallPath(c.database, c.dir), c.expected) << c.database;
}

InstallConfig Product(int generate, int view) {
  InstallConfig config;
  config.product_name = "墨桐产品";
  config.version = "1.2";
  config.company_name = "公司";
  config.main_program = "bin\\app.exe";
  config.generate_uninstaller = generate;
  config.registry_view = view;
  return config;
}

TEST(RegistryPlanTest, UninstallEntry) {
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\墨桐产品";
  auto sz = [](const std::string& text) { return HexText(text + std::string(1, '\0')); };
  for (int view : {64, 32}) {
    const RegistryPlan plan = PlanRegistryEntries(Product(1, view), "", "C:\\App");
    std::vector<std::string> got;
    for (const RegistryAction& a : plan.actions) got.push_back(Describe(a));
    const std::string v = view == 64 ? "64" : "32";
    EXPECT_EQ(got, (std::vector<std::string>{
                       "4|" + key + "|DisplayIcon|1|" + sz("C:\\App\\bin\\app.exe") + "|" + v,
                       "4|" + key + "|DisplayName|1|" + sz("墨桐产品 1.2") + "|" + v,
                       "4|" + key + "|DisplayVersion|1|" + sz("1.2") + "|" + v,
                       "4|" + key + "|UninstallString|1|" + sz("C:\\App\\uninst.exe") + "|" + v,
                       "4|" + key + "|InstallLocation|1|" + sz("C:\\App") + "|" + v,
                       "4|" + key + "|Publisher|1|" + sz("公司") + "|" + v,
                   }));
    EXPECT_EQ(plan.uninstall_list, "");
  }
  // No uninstaller: no entry. No product name: no entry either (it would fill the Uninstall key).
  EXPECT_TRUE(PlanRegistryEntries(Product(0, 64), "", "C:\\App").actions.empty());
  InstallConfig nameless = Product(1, 32);
  nameless.product_name.clear();
  EXPECT_TRUE(PlanRegistryEntries(nameless, "", "C:\\App").actions.empty());
}

TEST(RegistryPlanTest, RecordsInOrder) {
  const std::string reg = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Q]\r\n\"p\"=\"SXG(%InstallPath%)\"\r\n";
  const Bytes db = Database(
      "8", {
               {"HKEY_CURRENT_USER\\Software\\X\\", "REG_SZ", kEmpty, "", kEmpty, ""},
               {"HKEY_LOCAL_MACHINE\\Software\\X", "REG_DWORD", "42", "真", "n", "64"},
               {"", "file", reg, "", "", ""},
               {"HKEY_CLASSES_ROOT\\.qev", "REG_???", "%InstallPath%", "真", "d", "32"},
               {"HKEY_CURRENT_CONFIG\\K", "REG_BINARY", std::string("\x01\x02", 2), "", "b", ""},
               {"HKEY_NOWHERE\\K", "REG_SZ", "x", "真", "v", kEmpty},
               {"", "file", kEmpty, "", "", ""},
               {"HKEY_USERS", "REG_SZ", "r", "", "v", ""},
           });
  const RegistryPlan plan = PlanRegistryEntries(Product(0, 32), db, "C:\\App");
  std::vector<std::string> got;
  for (const RegistryAction& a : plan.actions) got.push_back(Describe(a));
  EXPECT_EQ(got, (std::vector<std::string>{
                     "3|Software\\X||1|00|32",
                     "4|Software\\X|n|4|2a000000|64",
                     "import REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Q]\r\n\"p\"=\"C:\\\\App\"\r\n",
                     // An unknown type reuses the previous record's code (the file record has none).
                     "1|.qev|d|4|00000000|32",
                     "2|K|b|3|010200|32",
                     // A root name alone leaves an empty key: the root's own value.
                     "5||v|1|7200|32",
                 }));
  EXPECT_EQ(plan.uninstall_list,
            "HKEY_LOCAL_MACHINE\\Software\\X\\n$,64\r\n"
            "HKEY_CLASSES_ROOT\\.qev\\d$,32\r\n"
            "HKEY_NOWHERE\\K\\v$,\r\n");

  // The first record of an unknown type has code 0.
  const RegistryPlan unknown =
      PlanRegistryEntries(Product(0, 32), Database("1", {{"HKEY_USERS\\U", "X", "", "", "a", ""}}), "");
  ASSERT_EQ(unknown.actions.size(), 1u);
  EXPECT_EQ(Describe(unknown.actions[0]), "5|U|a|0|00|32");

  // The Uninstall entry comes before the records, and the lists are the step's result: the
  // marked values, and the keys the writes made with their view.
  class Recorder : public RegistryEffects {
   public:
    bool WriteValue(int root, const std::string& key, const std::string& name, uint32_t type,
                    const Bytes&, bool, std::vector<std::string>& created) override {
      calls.push_back(std::to_string(root) + key + "\\" + name + "#" + std::to_string(type));
      if (root == 5) created = {"U", key};
      return root == 4;  // failures do not stop the step
    }
    std::string ImportRegFile(const Bytes& content) override {
      calls.push_back("import " + content);
      return "C:\\T\\1.tmp.reg";
    }
    bool ImportView64() override { return false; }
    std::vector<std::string> MissingKeys(int, const std::string&, bool) override { return {}; }
    std::vector<std::string> calls;
  } recorder;
  std::vector<std::string> log;
  const RegistryStepResult result = WriteRegistryEntriesWith(
      Product(1, 32),
      Database("3", {{"HKEY_USERS\\U\\V", "REG_SZ", "", "真", "a", ""},
                     {"HKEY_USERS\\U\\W", "REG_SZ", "", "", "b", "64"},
                     {"", "file", "REGEDIT4", "", "", ""}}),
      "C:\\App", recorder, [&log](const std::string& line) { log.push_back(line); });
  EXPECT_EQ(result.uninstall_list, "HKEY_USERS\\U\\V\\a$,\r\n");
  // The keys the writes made, with their view.
  EXPECT_EQ(result.created_keys,
            "HKEY_USERS\\U$,32\r\nHKEY_USERS\\U\\V$,32\r\nHKEY_USERS\\U$,64\r\nHKEY_USERS\\U\\W$,64\r\n");
  ASSERT_EQ(recorder.calls.size(), 9u);
  EXPECT_EQ(recorder.calls[0],
            "4SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\墨桐产品\\DisplayIcon#1");
  EXPECT_EQ(recorder.calls[6], "5U\\V\\a#1");
  EXPECT_EQ(recorder.calls[8], "import REGEDIT4");
  // Every action has its log line, in order, a failed write marked as such.
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(log[0], "写入注册项: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                    "Uninstall\\墨桐产品\\DisplayIcon");
  EXPECT_EQ(log[6], "写入注册项失败: HKEY_USERS\\U\\V\\a");
  EXPECT_EQ(log[7], "写入注册项失败: HKEY_USERS\\U\\W\\b (64位)");
  EXPECT_EQ(log[8], "导入注册表文件: C:\\T\\1.tmp.reg");
}

// The keys and values a ".reg" file writes, in either of the editor's text forms.
TEST(RegFileKeysTest, KeysAndValuesTheFileWrites) {
  auto utf16 = [](const std::string& gbk) {
    Bytes out("\xFF\xFE");
    for (char16_t c : GbkToUtf16(gbk)) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return out;
  };
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\公司\\产品]\r\n"
      "@=\"default\"\r\n"
      "\"Path\"=\"C:\\\\App\"\r\n"
      "  \"Quoted \\\"name\\\" \\\\ x\" = dword:00000001\r\n"
      "\"Bin\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\"Gone\"=-\r\n"
      "; a comment\r\n"
      "\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
      "\"Orphan\"=\"of a deleted key\"\r\n"
      "[hkey_local_machine\\SOFTWARE\\Maker]\n"   // any letter case, a bare LF
      "[HKEY_CLASSES_ROOT\\.qev\\]\r\n"           // a final backslash names the key itself
      "[HKEY_NOWHERE\\X]\r\n"
      "\"Lost\"=\"under no root\"\r\n"
      "[HKEY_USERS]\r\n"                            // a root alone is no key
      "[HKEY_CURRENT_USER\\Software\\Br]ack]et]\r\n"
      "\"v\"=\"\"";
  auto describe = [](const std::vector<RegFileKey>& keys) {
    std::vector<std::string> out;
    for (const RegFileKey& k : keys) {
      std::string line = std::to_string(k.root) + "|" + k.key;
      for (const std::string& v : k.values) line += "|" + v;
      out.push_back(line);
    }
    return out;
  };
  const std::vector<std::string> expected = {
      "3|Software\\公司\\产品||Path|Quoted \"name\" \\ x|Bin",
      "4|SOFTWARE\\Maker",
      "1|.qev",
      "3|Software\\Br]ack]et|v",
  };
  EXPECT_EQ(describe(RegFileKeys(text)), expected);
  EXPECT_EQ(describe(RegFileKeys(utf16(text))), expected);
  // A UTF-16 line GBK cannot hold names nothing, and the values after it are not taken for the
  // key before.
  Bytes outside = utf16("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"a\"=\"1\"\r\n");
  outside += std::string("[\0\xDF\0]\0\r\0\n\0\"\0b\0\"\0=\0\"\0\"\0", 22);
  EXPECT_EQ(describe(RegFileKeys(outside)), (std::vector<std::string>{"3|Software\\A|a"}));
}

// A ".reg" import made keys when they were missing before it started: they are listed with the
// values the file sets in them, so the uninstaller can empty and remove them; keys that were there
// stay, and so do the values set in them.
TEST(RegistryPlanTest, ImportsListTheKeysTheyMake) {
  class Registry : public RegistryEffects {
   public:
    bool WriteValue(int root, const std::string& key, const std::string&, uint32_t, const Bytes&,
                    bool view64, std::vector<std::string>& created) override {
      created = MissingKeys(root, key, view64);
      return true;
    }
    std::string ImportRegFile(const Bytes&) override { return started ? "C:\\T\\2.tmp.reg" : ""; }
    bool ImportView64() override { return view64; }
    std::vector<std::string> MissingKeys(int root, const std::string& key, bool) override {
      // Only "Software" exists; each level of the key is missing below it.
      std::vector<std::string> missing;
      if (root != 3) return missing;
      for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
        if (!EqualsIgnoreAsciiCase(key.substr(0, at), "Software")) missing.push_back(key.substr(0, at));
      if (!EqualsIgnoreAsciiCase(key, "Software")) missing.push_back(key);
      return missing;
    }
    bool view64 = false, started = true;
  } registry;
  const std::string reg =
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software]\r\n\"Kept\"=\"in a key that was there\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Made\\Deep]\r\n@=\"d\"\r\n\"a\\\\b\"=\"not followed\"\r\n"
      "\"v\"=\"1\"\r\n[HKEY_CURRENT_USER\\software\\made\\deep]\r\n\"w\"=\"2\"\r\n\"v\"=\"again\"\r\n";
  const Bytes db = Database("3", {{"HKEY_CURRENT_USER\\Software\\Made\\Deep", "REG_SZ", "x", "真", "n", ""},
                                  {"", "file", reg, "", "", ""},
                                  {"HKEY_CURRENT_USER\\Software\\Other", "REG_SZ", "x", "", "o", ""}});
  for (bool view64 : {false, true}) {
    registry.view64 = view64;
    const std::string v = view64 ? "64" : "32";
    const RegistryStepResult result = WriteRegistryEntriesWith(Product(0, 32), db, "C:\\App", registry);
    // The plain write made Made and Made\Deep in the 32-bit view first; the import's own view adds
    // them again only when it differs.
    std::string keys = "HKEY_CURRENT_USER\\Software\\Made$,32\r\nHKEY_CURRENT_USER\\Software\\Made\\Deep$,32\r\n";
    if (view64) keys += "HKEY_CURRENT_USER\\Software\\Made$,64\r\nHKEY_CURRENT_USER\\Software\\Made\\Deep$,64\r\n";
    keys += "HKEY_CURRENT_USER\\Software\\Other$,32\r\n";
    EXPECT_EQ(result.created_keys, keys) << v;
    EXPECT_EQ(result.uninstall_list,
              "HKEY_CURRENT_USER\\Software\\Made\\Deep\\n$,\r\n"
              "HKEY_CURRENT_USER\\Software\\Made\\Deep\\$," + v + "\r\n"
              "HKEY_CURRENT_USER\\Software\\Made\\Deep\\v$," + v + "\r\n"
              "HKEY_CURRENT_USER\\software\\made\\deep\\w$," + v + "\r\n")
        << v;
  }
  // An import that could not start made nothing.
  registry.started = false;
  registry.view64 = false;
  const RegistryStepResult none = WriteRegistryEntriesWith(
      Product(0, 32), Database("1", {{"", "file", reg, "", "", ""}}), "C:\\App", registry);
  EXPECT_EQ(none.created_keys, "");
  EXPECT_EQ(none.uninstall_list, "");
}

TEST(RegistryPlanTest, RegFileBytesAndCommand) {
  struct Case {
    std::string text;
    std::string hex;
  } cases[] = {
      {"R", "fffe5200"},
      {"值\r\n", "fffe3c500d000a00"},
      {"", "fffe"},
      // Already UTF-16LE: kept as it is.
      {std::string("\xFF\xFE\x52\x00", 4), "fffe5200"},
  };
  for (const Case& c : cases) EXPECT_EQ(HexText(RegFileBytes(c.text)), c.hex) << c.text;
  EXPECT_EQ(RegeditCommand("C:\\T\\1a.tmp.reg"), "regedit /s \"C:\\T\\1a.tmp.reg\"");
}

}  // namespace
