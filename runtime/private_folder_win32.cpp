// Folders only the current user and the system may use, made with a protected access list.
#include "runtime/private_folder_win32.h"

#include <sddl.h>

#include <vector>

#include "runtime/wide_win32.h"

LocalSecurityDescriptor PrivateFolderSecurity() {
  std::wstring sddl;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size ? size : 1);
    wchar_t* sid = nullptr;
    if (size && GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
      sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")(A;OICI;FA;;;SY)";
      LocalFree(sid);
    }
    CloseHandle(token);
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (sddl.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return nullptr;
  }
  return LocalSecurityDescriptor(descriptor);
}

bool CreatePrivateFolder(const std::string& path) {
  // Without the access list the folder would take the temporary folder's: not made at all.
  const LocalSecurityDescriptor security = PrivateFolderSecurity();
  if (!security) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, security.get(), FALSE};
  return CreateDirectoryW(ToWide(path).c_str(), &attributes) != FALSE;
}
