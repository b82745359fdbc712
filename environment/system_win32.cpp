// The system services on Windows: shell folders, temporary names, version and 64-bit tests, the
// Wow64 switches (looked up by name so the program starts on systems without them) and registry
// reads through the wide API with code-page-936 conversion.
#include "environment/system_win32.h"

#include <shlobj.h>

#include <vector>

#include "environment/system.h"
#include "runtime/files.h"
#include "runtime/wide_win32.h"

namespace {

std::string WithBackslash(std::string folder) {
  if (!folder.empty() && !EndsWithBackslash(folder)) folder += '\\';
  return folder;
}

Bytes QueryValue(HKEY key, const std::wstring& name) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return Bytes();
    std::vector<BYTE> data(size + 2, 0);
    LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) continue;  // the value grew between the two queries
    if (result != ERROR_SUCCESS) return Bytes();
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
      // Texts come back as the code-page-936 ("A") registry functions would give them.
      return Utf16ToGbk(
          std::u16string_view(reinterpret_cast<const char16_t*>(data.data()), size / sizeof(wchar_t)));
    }
    return Bytes(reinterpret_cast<const char*>(data.data()), size);
  }
  return Bytes();
}

}  // namespace

FARPROC LookupSystemFunction(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  return handle ? GetProcAddress(handle, name) : nullptr;
}

HKEY RootKeyOf(int root) {
  switch (root) {
    case 1: return HKEY_CLASSES_ROOT;
    case 2: return HKEY_CURRENT_CONFIG;
    case 3: return HKEY_CURRENT_USER;
    case 4: return HKEY_LOCAL_MACHINE;
    case 5: return HKEY_USERS;
    default: return nullptr;
  }
}

bool DisableReflection(HKEY key) {
  using Fn = LONG(WINAPI*)(HKEY);
  static Fn fn = LookupFunction<Fn>("advapi32.dll", "RegDisableReflectionKey");
  return fn && fn(key) == ERROR_SUCCESS;
}

bool EnableReflection(HKEY key) {
  using Fn = LONG(WINAPI*)(HKEY);
  static Fn fn = LookupFunction<Fn>("advapi32.dll", "RegEnableReflectionKey");
  return fn && fn(key) == ERROR_SUCCESS;
}

std::string SpecialFolder(int number) {
  static const int kCsidl[] = {0,
                               CSIDL_PERSONAL,
                               CSIDL_FAVORITES,
                               CSIDL_DESKTOPDIRECTORY,
                               CSIDL_FONTS,
                               CSIDL_STARTMENU,
                               CSIDL_PROGRAMS,
                               CSIDL_STARTUP,
                               CSIDL_APPDATA};
  wchar_t path[MAX_PATH + 2] = {0};
  if (number >= 1 && number <= 8) {
    if (!SHGetSpecialFolderPathW(nullptr, path, kCsidl[number], FALSE)) return std::string();
  } else if (number == 9) {
    UINT got = GetWindowsDirectoryW(path, MAX_PATH + 1);
    if (got == 0 || got > MAX_PATH) return std::string();
  } else if (number == 10) {
    UINT got = GetSystemDirectoryW(path, MAX_PATH + 1);
    if (got == 0 || got > MAX_PATH) return std::string();
  } else if (number == kFolderTemp) {
    DWORD got = GetTempPathW(MAX_PATH + 1, path);
    if (got == 0 || got > MAX_PATH) return std::string();
  } else {
    return std::string();
  }
  return WithBackslash(GbkPathFromWide(path));
}

std::string UniqueTempName(const std::string& folder) {
  static uint32_t counter = UniqueTempCounterStart(GetCurrentProcessId());
  std::string base = folder.empty() ? SpecialFolder(kFolderTemp) : folder;
  if (base.empty()) return std::string();
  return UniqueTempNameWith(base, GetTickCount(), counter, PathExists);
}

std::string EnvironmentVariable(const std::string& name) {
  const std::wstring wide_name = ToWide(name);
  for (DWORD size = 256;;) {
    std::vector<wchar_t> value(size);
    DWORD got = GetEnvironmentVariableW(wide_name.c_str(), value.data(), size);
    if (got == 0) return std::string();
    if (got < size) return FromWide(std::wstring(value.data(), got));
    size = got;  // too small: `got` is the size needed, terminator included
  }
}

double WindowsVersion() { return VersionFromWord(LOWORD(GetVersion())); }

bool IsWindows64() {
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

// A 64-bit build of the program (only made for tests) has no redirection: it sees the real
// system already, so switching redirection off trivially succeeds there.
bool DisableFsRedirection(void** token) {
#ifdef _WIN64
  if (token) *token = nullptr;
  return true;
#else
  using Fn = BOOL(WINAPI*)(PVOID*);
  static Fn fn = LookupFunction<Fn>("kernel32.dll", "Wow64DisableWow64FsRedirection");
  void* value = nullptr;
  bool ok = fn && fn(&value);
  if (token) *token = value;
  return ok;
#endif
}

void RevertFsRedirection(void* token) {
#ifndef _WIN64
  using Fn = BOOL(WINAPI*)(PVOID);
  static Fn fn = LookupFunction<Fn>("kernel32.dll", "Wow64RevertWow64FsRedirection");
  if (fn) fn(token);
#endif
}

Bytes ReadRegistryBytes(int root, const std::string& value_path, RegistryView view) {
  HKEY root_key = RootKeyOf(root);
  if (!root_key) return Bytes();
  RegistryValuePath split = SplitValuePath(value_path);
  std::wstring key_path = ToWide(split.key);
  std::wstring name = ToWide(split.name);
  Bytes data;
  HKEY key = nullptr;
  if (IsWindows64() && view == RegistryView::k32) {
    if (RegOpenKeyExW(root_key, key_path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) ==
        ERROR_SUCCESS) {
      data = QueryValue(key, name);
      RegCloseKey(key);
    }
    return data;
  }
  if (IsWindows64()) {
    void* token = nullptr;
    if (!DisableFsRedirection(&token)) return Bytes();
    if (RegOpenKeyExW(root_key, key_path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS) {
      DisableReflection(key);
      data = QueryValue(key, name);
      EnableReflection(key);
      RegCloseKey(key);
    }
    RevertFsRedirection(token);
    return data;
  }
  if (RegOpenKeyExW(root_key, key_path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    data = QueryValue(key, name);
    RegCloseKey(key);
  }
  return data;
}
