// Writing an icon into a program file's resources (the launcher the install leaves behind).
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
