// The variable pass against a real (Wine) Windows: the built-in tokens take the machine's own
// folders, environment and registry values, each checked here through the system API directly.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "environment/system.h"
#include "environment/variables.h"
#include "runtime/files.h"
#include "runtime/wide_win32.h"

namespace {

const wchar_t kProductKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QevVariablesTest";

std::string Normalised(std::string path) {
  if (!path.empty() && path[0] >= 'a' && path[0] <= 'z') path[0] -= 'a' - 'A';
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {0};
  if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return std::string();
  return Normalised(FromWide(path));
}

std::string Environment(const wchar_t* name) {
  wchar_t value[4096] = {0};
  DWORD got = GetEnvironmentVariableW(name, value, 4096);
  return got > 0 && got < 4096 ? FromWide(value) : std::string();
}

std::string RegistryText(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view) {
  wchar_t value[4096] = {0};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
    return std::string();
  LONG result = RegQueryValueExW(opened, name, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(opened);
  return result == ERROR_SUCCESS ? FromWide(value) : std::string();
}

bool PlantInstallLocation(const wchar_t* data, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_SET_VALUE | view,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, L"InstallLocation", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(data),
                               (lstrlenW(data) + 1) * sizeof(wchar_t));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void RemoveProductKey() {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kProductKey, view, 0);
}

TEST(VariablesWin32, BuiltInTokensTakeTheMachinesValues) {
  RemoveProductKey();
  // Different values in the two registry views: the 64-bit one must be read.
  ASSERT_TRUE(PlantInstallLocation(L"C:\\Seen64", KEY_WOW64_64KEY));
  ASSERT_TRUE(PlantInstallLocation(L"C:\\Seen32", KEY_WOW64_32KEY));

  const std::string windows = [] {
    wchar_t path[MAX_PATH] = {0};
    GetWindowsDirectoryW(path, MAX_PATH);
    return Normalised(FromWide(path));
  }();
  const std::string temp = [] {
    wchar_t path[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, path);
    return Normalised(FromWide(path));
  }();
  std::string program_files = Environment(L"ProgramFiles");
  const std::string profile = Environment(L"USERPROFILE");
  struct Expectation {
    const char* token;
    std::string value;
  };
  const std::vector<Expectation> expected = {
      {"%ProductName%", "QevVariablesTest"},
      {"%ProgramFiles%", ReplaceAll(program_files, " (x86)", "")},
      {"%ProgramFiles_x86%", program_files},
      {"%TempDir%", temp},
      {"%WindowsDir%", windows},
      {"%System32%", windows + "\\System32"},
      {"%SysWoW64%", windows + "\\SysWoW64"},
      {"%FONTS%", windows + "\\Fonts"},
      {"%MenuDir%", ShellFolder(CSIDL_PROGRAMS)},
      {"%Desktop%", ShellFolder(CSIDL_DESKTOPDIRECTORY)},
      {"%AppData%", ShellFolder(CSIDL_APPDATA)},
      {"%MyDocument%",
       Normalised(RegistryText(HKEY_CURRENT_USER,
                               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                               L"Personal", 0))},
      {"%QuickLaunch%", profile + "\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"},
      {"%UserProfile%", profile},
      {"%LastInPath%", "C:\\Seen64"},
      {"%InstallPath%", "%InstallPath%"},
  };

  const std::string dir = UniqueTempName() + "\\";
  ASSERT_TRUE(CreateOneFolder(dir));
  std::string variable_ini, data_ini = "[墨桐软件安装配置]\r\n墨桐软件名称=QevVariablesTest\r\n";
  // Keys are numbered: a token in a key name would be replaced as well.
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_FALSE(expected[i].value.empty()) << expected[i].token;
    variable_ini += std::string("[") + expected[i].token + "]\r\n数据=#常量数据\r\n";
    data_ini += "v" + std::to_string(i) + "=" + expected[i].token + "\r\n";
  }
  ASSERT_TRUE(WriteWholeFile(dir + "variable.ini", variable_ini));
  ASSERT_TRUE(WriteWholeFile(dir + "data.ini", data_ini));

  BuildVariables(dir);

  Bytes result;
  ASSERT_TRUE(ReadWholeFile(dir + "data.ini", result));
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::string line = "v" + std::to_string(i) + "=" + expected[i].value + "\r\n";
    EXPECT_NE(result.find(line), std::string::npos) << expected[i].token << ": " << line;
  }
  RemoveFolderTree(dir);
  RemoveProductKey();
}

}  // namespace
