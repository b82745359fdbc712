// Writing an icon into a program file's resources (the launcher the install leaves behind), and
// looking for one there.
#include <windows.h>

#include "install/uninstaller.h"
#include "runtime/wide_win32.h"

bool SetProgramIcon(const std::string& program, const IconResources& icon) {
  HANDLE update = BeginUpdateResourceW(ToWide(program).c_str(), FALSE);
  if (!update) return false;
  const WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  bool ok = true;
  for (size_t i = 0; i < icon.images.size(); ++i) {
    Bytes image = icon.images[i];
    ok = ok && UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(i + 1), language, &image[0],
                               DWORD(image.size()));
  }
  Bytes group = icon.group;
  ok = ok && UpdateResourceW(update, RT_GROUP_ICON, MAKEINTRESOURCEW(1), language, &group[0],
                             DWORD(group.size()));
  // A failed update leaves the file as it was.
  return EndUpdateResourceW(update, ok ? FALSE : TRUE) && ok;
}

namespace {
BOOL CALLBACK FoundGroup(HMODULE, LPCWSTR, LPWSTR, LONG_PTR found) {
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}
}  // namespace

bool ProgramHasIcon(const std::string& program) {
  HMODULE module = LoadLibraryExW(ToWide(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return false;
  bool found = false;
  EnumResourceNamesW(module, RT_GROUP_ICON, FoundGroup, reinterpret_cast<LONG_PTR>(&found));
  FreeLibrary(module);
  return found;
}
