// Registry entries under Windows: database records written under HKCU\Software\QevTest and read
// back byte for byte through the wide API, and a ".reg" record imported by the Registry Editor.
#include <windows.h>

#include <gtest/gtest.h>

#include "environment/registry.h"
#include "install/registry_entries.h"
#include "runtime/items.h"
#include "runtime/process.h"
#include "runtime/wide_win32.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\QevTest";

struct StoredValue {
  bool found = false;
  DWORD type = 0;
  Bytes data;
};

StoredValue Read(const std::wstring& key, const std::wstring& name) {
  StoredValue value;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
    return value;
  DWORD size = 0;
  if (RegQueryValueExW(opened, name.c_str(), nullptr, &value.type, nullptr, &size) ==
      ERROR_SUCCESS) {
    value.data.assign(size, '\0');
    value.found = RegQueryValueExW(opened, name.c_str(), nullptr, &value.type,
                                   reinterpret_cast<BYTE*>(&value.data[0]), &size) == ERROR_SUCCESS;
    value.data.resize(size);
  }
  RegCloseKey(opened);
  return value;
}

Bytes Utf16Bytes(const std::wstring& text) {
  return Bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

Bytes Database(const std::vector<std::vector<std::string>>& records) {
  static const char* kStems[] = {"REGpath", "REGtype", "REGdata", "REGoff", "REGname", "REGws"};
  Bytes db = AppendItem("", "num", std::to_string(records.size()));
  for (size_t i = 0; i < records.size(); ++i)
    for (size_t k = 0; k < 6; ++k)
      db = AppendItem(db, kStems[k] + std::to_string(i + 1), records[i][k]);
  return db;
}

class RegistryWriteTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(RegistryWriteTest, ValuesReadBackExactly) {
  const std::string marker(kEmptyItemValue);
  const Bytes db = Database({
      {"HKEY_CURRENT_USER\\Software\\QevTest\\", "REG_SZ", "默认 %InstallPath%", "", marker, ""},
      {"HKEY_CURRENT_USER\\Software\\QevTest", "REG_SZ", "文本", "真", "串", ""},
      {"HKEY_CURRENT_USER\\Software\\QevTest\\Sub", "REG_BINARY", std::string("\x00\xFF\x10\x7F", 4), "", "bin", ""},
      {"HKEY_CURRENT_USER\\Software\\QevTest\\Sub", "REG_DWORD", "42", "真", "dw", "64"},
      {"HKEY_CURRENT_USER\\Software\\QevTest", "REG_SZ", marker, "", "空", ""},
  });
  InstallConfig config;  // no uninstaller: nothing under HKLM
  const RegistryStepResult result =
      WriteRegistryEntriesWith(config, db, "C:\\App", SystemRegistryEffects());
  EXPECT_EQ(result.uninstall_list,
            "HKEY_CURRENT_USER\\Software\\QevTest\\串$,\r\n"
            "HKEY_CURRENT_USER\\Software\\QevTest\\Sub\\dw$,64\r\n");
  // "Software" was there; the step made the test key and its subkey (once each: the later
  // writes found them).
  EXPECT_EQ(result.created_keys,
            "HKEY_CURRENT_USER\\Software\\QevTest$,32\r\n"
            "HKEY_CURRENT_USER\\Software\\QevTest\\Sub$,32\r\n");
  // Only a key that holds nothing is deleted as empty.
  EXPECT_FALSE(DeleteEmptyRegistryKey(3, "Software\\QevTest\\Sub", false));
  EXPECT_TRUE(DeleteRegistryValue(3, "Software\\QevTest\\Sub", "bin", false));
  EXPECT_TRUE(DeleteRegistryValue(3, "Software\\QevTest\\Sub", "dw", true));
  EXPECT_FALSE(DeleteEmptyRegistryKey(3, "Software\\QevTest", false));  // a subkey and values
  EXPECT_TRUE(DeleteEmptyRegistryKey(3, "Software\\QevTest\\Sub", false));
  EXPECT_FALSE(DeleteEmptyRegistryKey(3, "Software\\QevTest\\Sub", false));  // gone already
  ASSERT_TRUE(WriteRegistryEntriesWith(config, db, "C:\\App", SystemRegistryEffects())
                  .created_keys == "HKEY_CURRENT_USER\\Software\\QevTest\\Sub$,32\r\n");

  struct Case {
    std::wstring key, name;
    DWORD type;
    Bytes data;
  } cases[] = {
      {kTestKey, L"", REG_SZ, Utf16Bytes(L"默认 C:\\App")},
      {kTestKey, L"串", REG_SZ, Utf16Bytes(L"文本")},
      // Binary data keeps the zero byte appended to every value: four bytes stored as five.
      {std::wstring(kTestKey) + L"\\Sub", L"bin", REG_BINARY, std::string("\x00\xFF\x10\x7F\x00", 5)},
      {std::wstring(kTestKey) + L"\\Sub", L"dw", REG_DWORD, std::string("\x2A\x00\x00\x00", 4)},
      {kTestKey, L"空", REG_SZ, Utf16Bytes(L"")},
  };
  for (const Case& c : cases) {
    const StoredValue value = Read(c.key, c.name);
    ASSERT_TRUE(value.found) << FromWide(c.name);
    EXPECT_EQ(value.type, c.type) << FromWide(c.name);
    EXPECT_EQ(value.data, c.data) << FromWide(c.name);
  }
}

TEST_F(RegistryWriteTest, UninstallEntryInItsView) {
  const std::wstring key =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QevTest产品";
  // True when the entry's InstallLocation is there in the given view.
  auto location = [&](REGSAM view) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) !=
        ERROR_SUCCESS)
      return false;
    const bool found = RegQueryValueExW(opened, L"InstallLocation", nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
    RegCloseKey(opened);
    return found;
  };
  struct Case {
    int view;
    REGSAM written, other;
  } cases[] = {{64, KEY_WOW64_64KEY, KEY_WOW64_32KEY}, {32, KEY_WOW64_32KEY, KEY_WOW64_64KEY}};
  for (const Case& c : cases) {
    InstallConfig config;
    config.product_name = "QevTest产品";
    config.generate_uninstaller = 1;
    config.registry_view = c.view;
    WriteRegistryEntriesWith(config, "", "C:\\App", SystemRegistryEffects());
    EXPECT_TRUE(location(c.written)) << c.view;
    EXPECT_FALSE(location(c.other)) << c.view;
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), c.written, 0);
  }
}

TEST_F(RegistryWriteTest, RegFileImport) {
  // Two file records in a row, each handed to its own Registry Editor.
  const std::string first =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\QevTest\\导入]\r\n"
      "\"路径\"=\"SXG(%InstallPath%)\\\\bin\"\r\n";
  const std::string second =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\QevTest\\导入]\r\n"
      "\"第二\"=dword:0000002a\r\n";
  const Bytes db = Database({{"", "file", first, "", "", ""}, {"", "file", second, "", "", ""}});
  WriteRegistryEntriesWith(InstallConfig(), db, "C:\\App 目录", SystemRegistryEffects());

  // The editor runs on its own; wait for its values (a bounded poll, not a timing check).
  const std::wstring key = std::wstring(kTestKey) + L"\\导入";
  StoredValue path, other;
  for (int i = 0; i < 600 && !(path.found && other.found); ++i) {
    SleepMilliseconds(100);
    path = Read(key, L"路径");
    other = Read(key, L"第二");
  }
  ASSERT_TRUE(path.found);
  EXPECT_EQ(path.data, Utf16Bytes(L"C:\\App 目录\\bin"));
  ASSERT_TRUE(other.found);
  EXPECT_EQ(other.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(other.data, std::string("\x2A\0\0\0", 4));
}

}  // namespace
