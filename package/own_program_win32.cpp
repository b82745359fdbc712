// The own process on Windows: command line, module path and resources, as GBK.
#include <windows.h>

#include <string>

#include "package/command_line.h"
#include "package/open_package.h"
#include "runtime/text.h"
#include "runtime/wide_win32.h"

std::string ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  if (!line) return std::string();
  return Utf16ToGbk(std::u16string(reinterpret_cast<const char16_t*>(line)));
}

std::string OwnProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  // A folder whose name GBK cannot hold is read through its short form.
  return GbkPathFromWide(path);
}

Bytes OwnResource(const char* type, int id) {
  std::u16string wide_type = GbkToUtf16(type);
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id),
                              reinterpret_cast<const wchar_t*>(wide_type.c_str()));
  if (!found) return Bytes();
  DWORD size = SizeofResource(nullptr, found);
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return Bytes();
  return Bytes(static_cast<const char*>(data), size);
}
