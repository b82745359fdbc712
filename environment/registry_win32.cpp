// Registry writes and deletes through the wide API in an explicit view, with the Wow64 switches
// around every access to the 64-bit view.
#include "environment/registry.h"

#include <vector>

#include "environment/system.h"
#include "environment/system_win32.h"
#include "runtime/wide_win32.h"

namespace {

// One access in the requested view: redirection off for the 64-bit view on 64-bit Windows, and
// the view flag to add to every open. Without the switch nothing may be touched.
class ViewAccess {
 public:
  explicit ViewAccess(bool view64) {
    if (!IsWindows64()) {
      ok_ = true;
    } else if (view64) {
      redirected_ = DisableFsRedirection(&token_);
      ok_ = redirected_;
      flags_ = KEY_WOW64_64KEY;
      reflection_ = true;
    } else {
      ok_ = true;
      flags_ = KEY_WOW64_32KEY;
    }
  }
  ~ViewAccess() {
    if (redirected_) RevertFsRedirection(token_);
  }
  ViewAccess(const ViewAccess&) = delete;
  ViewAccess& operator=(const ViewAccess&) = delete;

  bool ok() const { return ok_; }
  REGSAM flags() const { return flags_; }
  bool reflection() const { return reflection_; }

 private:
  bool ok_ = false;
  bool redirected_ = false;
  bool reflection_ = false;
  void* token_ = nullptr;
  REGSAM flags_ = 0;
};

// RegDeleteKeyExW does not exist before Vista and 64-bit XP; plain RegDeleteKeyW serves there,
// where there is only one view.
LONG DeleteKeyInView(HKEY root, const std::wstring& path, REGSAM flags) {
  using Fn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  static Fn fn = LookupFunction<Fn>("advapi32.dll", "RegDeleteKeyExW");
  if (fn && flags) return fn(root, path.c_str(), flags, 0);
  return RegDeleteKeyW(root, path.c_str());
}

// Key paths arrive as the records hold them, sometimes with a trailing backslash.
std::wstring KeyPath(const std::string& key) {
  return ToWide(EndsWithBackslash(key) ? key.substr(0, key.size() - 1) : key);
}

// The key and each of its parents, the shortest first ("A", "A\B", "A\B\C").
std::vector<std::wstring> KeyLevels(const std::wstring& path) {
  std::vector<std::wstring> levels;
  for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    if (at > 0) levels.push_back(path.substr(0, at));
  }
  if (!path.empty()) levels.push_back(path);
  return levels;
}

// How many of the key's levels exist already: the parents of an existing key exist too. A level
// that cannot be opened for another reason than its absence (access denied) is there as well.
size_t ExistingLevels(HKEY root, const std::wstring& path, REGSAM view_flags) {
  const std::vector<std::wstring> levels = KeyLevels(path);
  size_t existing = 0;
  for (const std::wstring& level : levels) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExW(root, level.c_str(), 0, KEY_QUERY_VALUE | view_flags, &opened);
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND) break;
    if (result == ERROR_SUCCESS) RegCloseKey(opened);
    ++existing;
  }
  return existing;
}

bool SetValue(HKEY key, const std::wstring& name, uint32_t type, const Bytes& data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring text = ToWide(data);
    if (text.empty() || text.back() != L'\0') text.push_back(L'\0');
    return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(text.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

}  // namespace

bool WriteRegistryValue(int root, const std::string& key, const std::string& name, uint32_t type,
                        const Bytes& data, bool view64, std::vector<std::string>* created_keys) {
  HKEY root_key = RootKeyOf(root);
  if (!root_key) return false;
  ViewAccess view(view64);
  if (!view.ok()) return false;
  REGSAM access = KEY_READ | KEY_WRITE | view.flags();
  HKEY opened_root = nullptr;
  if (RegOpenKeyExW(root_key, nullptr, 0, access, &opened_root) != ERROR_SUCCESS) return false;
  if (view.reflection()) DisableReflection(opened_root);
  const std::wstring path = KeyPath(key);
  const size_t existing = created_keys ? ExistingLevels(opened_root, path, view.flags()) : 0;
  bool written = false;
  HKEY sub = nullptr;
  if (RegCreateKeyExW(opened_root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                      nullptr, &sub, nullptr) == ERROR_SUCCESS) {
    written = SetValue(sub, ToWide(name), type, data);
    RegCloseKey(sub);
    if (created_keys) {
      const std::vector<std::wstring> levels = KeyLevels(path);
      for (size_t i = existing; i < levels.size(); ++i) created_keys->push_back(FromWide(levels[i]));
    }
  }
  // Reflection comes back on only after the key is closed, so this write is not copied across.
  if (view.reflection()) EnableReflection(opened_root);
  RegCloseKey(opened_root);
  return written;
}

bool WriteRegistryDword(int root, const std::string& key, const std::string& name, uint32_t value,
                        bool view64) {
  Bytes data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return WriteRegistryValue(root, key, name, kRegDword, data, view64);
}

bool DeleteRegistryValue(int root, const std::string& key, const std::string& name, bool view64) {
  HKEY root_key = RootKeyOf(root);
  if (!root_key) return false;
  ViewAccess view(view64);
  if (!view.ok()) return false;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root_key, KeyPath(key).c_str(), 0, KEY_WRITE | view.flags(), &opened) !=
      ERROR_SUCCESS)
    return false;
  if (view.reflection()) DisableReflection(opened);
  bool deleted = RegDeleteValueW(opened, ToWide(name).c_str()) == ERROR_SUCCESS;
  if (view.reflection()) EnableReflection(opened);
  RegCloseKey(opened);
  return deleted;
}

std::vector<std::string> MissingRegistryKeys(int root, const std::string& key, bool view64) {
  std::vector<std::string> missing;
  HKEY root_key = RootKeyOf(root);
  const std::wstring path = KeyPath(key);
  if (!root_key || path.empty()) return missing;
  ViewAccess view(view64);
  if (!view.ok()) return missing;
  const std::vector<std::wstring> levels = KeyLevels(path);
  for (size_t i = ExistingLevels(root_key, path, view.flags()); i < levels.size(); ++i) {
    missing.push_back(FromWide(levels[i]));
  }
  return missing;
}

bool DeleteRegistryKey(int root, const std::string& key, bool view64) {
  HKEY root_key = RootKeyOf(root);
  // An empty path would name the root itself.
  std::wstring path = KeyPath(key);
  if (!root_key || path.empty()) return false;
  ViewAccess view(view64);
  if (!view.ok()) return false;
  return DeleteKeyInView(root_key, path, view.flags()) == ERROR_SUCCESS;
}

bool DeleteEmptyRegistryKey(int root, const std::string& key, bool view64) {
  HKEY root_key = RootKeyOf(root);
  std::wstring path = KeyPath(key);
  if (!root_key || path.empty()) return false;
  ViewAccess view(view64);
  if (!view.ok()) return false;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root_key, path.c_str(), 0, KEY_QUERY_VALUE | view.flags(), &opened) !=
      ERROR_SUCCESS)
    return false;
  DWORD subkeys = 1, values = 1;
  const bool counted = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                        nullptr, &values, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
  RegCloseKey(opened);
  if (!counted || subkeys != 0 || values != 0) return false;
  return DeleteKeyInView(root_key, path, view.flags()) == ERROR_SUCCESS;
}
