// The system services against a real (Wine) Windows: special folders, temporary names, the
// 64-bit test, and registry reads and writes in both views. Run in a 64-bit and a 32-bit prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "environment/registry.h"
#include "environment/system.h"

namespace {

const char kTestKey[] = "Software\\QevEnvironmentTest";

// Whether the registry has two views, told apart from the code under test: a 32-bit program
// runs under WOW64 exactly on 64-bit Windows; a 64-bit test build is on 64-bit Windows anyway.
bool TwoViews() {
  if (sizeof(void*) == 8) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The test's own view of the registry, through the API with explicit view flags, so that what
// the code under test wrote is checked by other means than its own reads.
REGSAM ViewFlag(bool view64) {
  if (!TwoViews()) return 0;
  return view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

const wchar_t kTestKeyWide[] = L"Software\\QevEnvironmentTest";

bool Plant(const wchar_t* name, const wchar_t* data, bool view64) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKeyWide, 0, nullptr, 0,
                      KEY_SET_VALUE | ViewFlag(view64), nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                               (lstrlenW(data) + 1) * sizeof(wchar_t));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool HasValue(const wchar_t* name, bool view64) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKeyWide, 0, KEY_QUERY_VALUE | ViewFlag(view64), &key) !=
      ERROR_SUCCESS)
    return false;
  LONG result = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void RemoveTestKey(HKEY root, REGSAM view) {
  HKEY software = nullptr;
  if (RegOpenKeyExW(root, L"Software", 0, KEY_ALL_ACCESS | view, &software) != ERROR_SUCCESS) return;
  RegDeleteTreeW(software, L"QevEnvironmentTest");
  RegDeleteKeyW(software, L"QevEnvironmentTest");
  RegCloseKey(software);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    RemoveTestKey(HKEY_LOCAL_MACHINE, ViewFlag(true));
    RemoveTestKey(HKEY_LOCAL_MACHINE, ViewFlag(false));
    RemoveTestKey(HKEY_CURRENT_USER, 0);
  }
};

TEST(SystemWin32, SpecialFoldersEndWithBackslash) {
  for (int number = 1; number <= 11; ++number) {
    std::string folder = SpecialFolder(number);
    ASSERT_FALSE(folder.empty()) << number;
    EXPECT_EQ(folder.back(), '\\') << number << " " << folder;
    EXPECT_NE(folder.find(':'), std::string::npos) << folder;
  }
  EXPECT_EQ(SpecialFolder(0), "");
  EXPECT_EQ(SpecialFolder(12), "");
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(SpecialFolder(9).size(), lstrlenW(windows) + 1u);
  EXPECT_NE(GetFileAttributesA(SpecialFolder(kFolderTemp).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SystemWin32, UniqueTempNamesAreFreshAndDistinct) {
  std::string temp = SpecialFolder(kFolderTemp);
  std::string a = UniqueTempName();
  std::string b = UniqueTempName();
  EXPECT_NE(a, b);
  EXPECT_EQ(a.compare(0, temp.size(), temp), 0) << a;
  EXPECT_EQ(a.substr(a.size() - 4), ".tmp");
  // A name that exists is passed over, also in a folder given without a trailing backslash.
  HANDLE file = CreateFileA(b.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  for (int i = 0; i < 20; ++i) EXPECT_NE(UniqueTempName(temp.substr(0, temp.size() - 1)), b);
  DeleteFileA(b.c_str());
}

TEST(SystemWin32, SixtyFourBitTestAndRedirection) {
  EXPECT_EQ(IsWindows64(), TwoViews());
  EXPECT_GE(WindowsVersion(), 5.0);
  void* token = nullptr;
  if (IsWindows64()) {
    // With redirection off a 32-bit program sees the real 64-bit system folder.
    ASSERT_TRUE(DisableFsRedirection(&token));
    std::string native = SpecialFolder(10) + "kernel32.dll";
    WORD machine = 0;
    HANDLE file = CreateFileA(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    RevertFsRedirection(token);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char header[4096];
    DWORD got = 0;
    ReadFile(file, header, sizeof header, &got, nullptr);
    CloseHandle(file);
    ASSERT_GT(got, 0x40u);
    DWORD pe = *reinterpret_cast<DWORD*>(header + 0x3C);
    ASSERT_LT(pe + 6, got);
    machine = *reinterpret_cast<WORD*>(header + pe + 4);
    EXPECT_EQ(machine, IMAGE_FILE_MACHINE_AMD64);
  }
}

TEST_F(RegistryTest, ReadsOnlyTheSixtyFourBitViewOnSixtyFourBitWindows) {
  ASSERT_TRUE(Plant(L"Both", L"view32", false));
  ASSERT_TRUE(Plant(L"", L"default", false));
  if (TwoViews()) {
    ASSERT_TRUE(Plant(L"Both", L"view64", true));
    ASSERT_TRUE(Plant(L"Only64", L"x64", true));
    ASSERT_TRUE(Plant(L"Only32", L"x86", false));
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Both"), "view64");
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Only64"), "x64");
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Only32"), "");
    // The default value was planted in the 32-bit view only.
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\"), "");
    ASSERT_TRUE(Plant(L"", L"default64", true));
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\"), "default64");
    // Asked for, the 32-bit view answers with its own values only.
    const RegistryView v32 = RegistryView::k32;
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Both", v32), "view32");
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Only32", v32), "x86");
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Only64", v32), "");
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\", v32), "default");
  } else {
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Both", RegistryView::k32),
              "view32");
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Both"), "view32");
    EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\"), "default");
  }
  // Bytes of a text value keep the terminating NUL the system stores.
  EXPECT_EQ(ReadRegistryBytes(4, "Software\\QevEnvironmentTest\\Both"),
            std::string(TwoViews() ? "view64" : "view32", 7));
  EXPECT_EQ(ReadRegistryText(4, "Software\\QevEnvironmentTest\\Missing"), "");
  EXPECT_EQ(ReadRegistryText(4, "Software\\QevNoSuchKey\\Both"), "");
  EXPECT_EQ(ReadRegistryText(7, "Software\\QevEnvironmentTest\\Both"), "");
}

TEST_F(RegistryTest, WritesLandInTheChosenView) {
  ASSERT_TRUE(WriteRegistryValue(4, kTestKey, "Written64", kRegString, "a", true));
  ASSERT_TRUE(WriteRegistryValue(4, kTestKey, "Written32", kRegString, "b", false));
  EXPECT_TRUE(HasValue(L"Written64", true));
  EXPECT_TRUE(HasValue(L"Written32", false));
  if (TwoViews()) {
    EXPECT_FALSE(HasValue(L"Written64", false));
    EXPECT_FALSE(HasValue(L"Written32", true));
  }
  // Deleting in one view leaves the other alone.
  if (TwoViews()) {
    ASSERT_TRUE(WriteRegistryValue(4, kTestKey, "Written32", kRegString, "c", true));
    EXPECT_TRUE(DeleteRegistryValue(4, kTestKey, "Written32", true));
    EXPECT_FALSE(HasValue(L"Written32", true));
    EXPECT_TRUE(HasValue(L"Written32", false));
  }
  EXPECT_TRUE(DeleteRegistryValue(4, kTestKey, "Written32", false));
  EXPECT_FALSE(HasValue(L"Written32", false));
  EXPECT_FALSE(DeleteRegistryValue(4, kTestKey, "Written32", false));
}

TEST_F(RegistryTest, ValueTypesRoundTrip) {
  struct Case {
    const char* name;
    uint32_t type;
    Bytes data;
    Bytes read_back;
  } cases[] = {
      {"Text", kRegString, "hello", std::string("hello", 6)},
      {"TextWithNul", kRegString, std::string("hello", 6), std::string("hello", 6)},
      {"Empty", kRegString, "", std::string(1, '\0')},
      {"Expand", REG_EXPAND_SZ, "%TEMP%\\中文", std::string("%TEMP%\\中文", 12)},
      {"Binary", kRegBinary, std::string("\x01\x00\xff\x02\x00", 5), std::string("\x01\x00\xff\x02\x00", 5)},
      {"EmptyBinary", kRegBinary, "", ""},
  };
  for (bool view64 : {true, false}) {
    for (const Case& c : cases) {
      ASSERT_TRUE(WriteRegistryValue(4, kTestKey, c.name, c.type, c.data, view64)) << c.name;
      // Reads see the 64-bit view on 64-bit Windows.
      if (view64 || !TwoViews()) {
        EXPECT_EQ(ReadRegistryBytes(4, std::string(kTestKey) + "\\" + c.name), c.read_back) << c.name;
      }
    }
  }
  ASSERT_TRUE(WriteRegistryDword(4, kTestKey, "Number", 42, true));
  EXPECT_EQ(ReadRegistryBytes(4, std::string(kTestKey) + "\\Number"), std::string("\x2a\0\0\0", 4));
  ASSERT_TRUE(WriteRegistryDword(4, kTestKey, "", 0x01020304, true));  // the default value
  EXPECT_EQ(ReadRegistryBytes(4, std::string(kTestKey) + "\\"), std::string("\x04\x03\x02\x01", 4));
  // Root codes outside 1..5 touch nothing.
  EXPECT_FALSE(WriteRegistryValue(0, kTestKey, "x", kRegString, "1", false));
  EXPECT_FALSE(WriteRegistryDword(6, kTestKey, "x", 1, true));
  EXPECT_FALSE(DeleteRegistryValue(6, kTestKey, "Number", true));
  EXPECT_FALSE(DeleteRegistryKey(-1, kTestKey, true));
}

TEST_F(RegistryTest, GbkNamesAndDataRoundTrip) {
  const std::string key = std::string(kTestKey) + "\\软件包";
  ASSERT_TRUE(WriteRegistryValue(3, key + "\\", "名称", kRegString, "中文数据：安装", false));
  EXPECT_EQ(ReadRegistryText(3, key + "\\名称"), "中文数据：安装");
  // The system holds the same characters in UTF-16.
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                          reinterpret_cast<const wchar_t*>(u"Software\\QevEnvironmentTest\\软件包"), 0,
                          KEY_READ, &opened),
            ERROR_SUCCESS);
  wchar_t data[64] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(opened, reinterpret_cast<const wchar_t*>(u"名称"), nullptr, &type,
                             reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  RegCloseKey(opened);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data)), u"中文数据：安装");
}

TEST_F(RegistryTest, KeysGoOnlyWhenEmpty) {
  const std::string parent = std::string(kTestKey) + "\\Parent";
  ASSERT_TRUE(WriteRegistryValue(3, parent + "\\Child", "v", kRegString, "1", false));
  EXPECT_FALSE(DeleteRegistryKey(3, parent, false));
  EXPECT_EQ(ReadRegistryText(3, parent + "\\Child\\v"), "1");
  EXPECT_TRUE(DeleteRegistryKey(3, parent + "\\Child\\", false));
  EXPECT_EQ(ReadRegistryText(3, parent + "\\Child\\v"), "");
  EXPECT_TRUE(DeleteRegistryKey(3, parent, false));
  EXPECT_FALSE(DeleteRegistryKey(3, parent, false));
  EXPECT_FALSE(DeleteRegistryKey(3, "", false));
  // 64-bit view keys.
  ASSERT_TRUE(WriteRegistryValue(4, parent, "v", kRegString, "1", true));
  EXPECT_TRUE(DeleteRegistryKey(4, parent, true));
  EXPECT_EQ(ReadRegistryText(4, parent + "\\v"), "");
}

}  // namespace
