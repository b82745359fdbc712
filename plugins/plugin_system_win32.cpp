// The plug-in folder and modules on Windows. Plug-in images are code that setup runs, often
// elevated, so the folder they are written to must be one nobody else can write to: it is made
// with a protected access list for the current user (and the system), and a folder that is left
// over (another instance still uses its images) is used only when it is a real folder owned by
// this user, after its access list has been made private again.
#include <windows.h>

#include <aclapi.h>

#include <memory>
#include <vector>

#include "plugins/plugin_system.h"
#include "runtime/files.h"
#include "runtime/private_folder_win32.h"
#include "runtime/wide_win32.h"

namespace {

// The token's user and default owner (elevated, the owner of new files is the administrators'
// group); either may own the folder.
struct TokenIdentity {
  std::vector<BYTE> user, owner;
};

std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS what) {
  DWORD size = 0;
  GetTokenInformation(token, what, nullptr, 0, &size);
  std::vector<BYTE> data(size);
  if (size == 0 || !GetTokenInformation(token, what, data.data(), size, &size)) data.clear();
  return data;
}

const TokenIdentity& Identity() {
  static const TokenIdentity identity = [] {
    TokenIdentity id;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return id;
    id.user = TokenInformation(token, TokenUser);
    id.owner = TokenInformation(token, TokenOwner);
    CloseHandle(token);
    return id;
  }();
  return identity;
}

PSID UserSid() {
  const auto& user = Identity().user;
  return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

PSID OwnerSid() {
  const auto& owner = Identity().owner;
  return owner.empty() ? nullptr : reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner;
}

bool OwnedByUs(const std::wstring& path) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, nullptr, nullptr, &sd) != ERROR_SUCCESS)
    return false;
  LocalSecurityDescriptor keep(sd);
  return owner && ((UserSid() && EqualSid(owner, UserSid())) ||
                   (OwnerSid() && EqualSid(owner, OwnerSid())));
}

bool MakePrivate(const std::wstring& path) {
  const LocalSecurityDescriptor sd = PrivateFolderSecurity();
  if (!sd) return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted) || !present) return false;
  std::wstring mutable_path = path;
  return SetNamedSecurityInfoW(mutable_path.data(), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

bool IsRealFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
         !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Volume and file number of the folder: the folder this process made or secured is recognised
// without asking for its security again at every call.
struct FolderIdentity {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const FolderIdentity& o) const {
    return volume == o.volume && high == o.high && low == o.low;
  }
};

bool IdentityOf(const std::wstring& path, FolderIdentity& id) {
  HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (ok) id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return ok;
}

FolderIdentity g_trusted;
bool g_have_trusted = false;

bool Trust(const std::wstring& path) {
  g_have_trusted = IdentityOf(path, g_trusted);
  return true;
}

}  // namespace

bool ResetPrivateFolder(const std::string& folder) {
  RemoveFolderTree(folder);
  const std::wstring path = ToWide(folder);
  if (CreatePrivateFolder(folder)) return IsRealFolder(path) && Trust(path);
  if (!IsRealFolder(path)) return false;
  FolderIdentity id;
  if (g_have_trusted && IdentityOf(path, id) && id == g_trusted) return true;
  // Left over with images in use: trusted only when it is ours, and then made private again.
  return OwnedByUs(path) && MakePrivate(path) && Trust(path);
}

uintptr_t LoadModuleAt(const std::string& path) {
  // A full path: the loader takes exactly this file, never one found along a search path.
  return reinterpret_cast<uintptr_t>(LoadLibraryExW(ToWide(path).c_str(), nullptr, 0));
}

uintptr_t ModuleExport(uintptr_t module, const std::string& name) {
  if (module == 0 || name.empty()) return 0;
  return reinterpret_cast<uintptr_t>(
      reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str())));
}
