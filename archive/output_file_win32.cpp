// Windows side of the output-file helpers, through the wide API with the GBK path converted.
#include "archive/output_file.h"

#include <windows.h>

#include "runtime/text.h"

namespace sz {
namespace {

std::wstring WidePath(const std::string& path) {
  std::u16string wide = GbkToUtf16(path);
  return std::wstring(wide.begin(), wide.end());
}

}  // namespace

void PrepareOverwrite(const std::string& path) {
  std::wstring wide = WidePath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
}

void SetOutputFileInfo(const std::string& path, bool has_mtime, uint64_t mtime, bool has_attributes,
                       uint32_t attributes) {
  std::wstring wide = WidePath(path);
  if (has_mtime) {
    HANDLE file = CreateFileW(wide.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      FILETIME time;
      time.dwLowDateTime = static_cast<DWORD>(mtime);
      time.dwHighDateTime = static_cast<DWORD>(mtime >> 32);
      SetFileTime(file, nullptr, nullptr, &time);
      CloseHandle(file);
    }
  }
  if (has_attributes) {
    // Only plain attributes: never a reparse point, compression or anything the archive could
    // use to change what the file is.
    const DWORD kPlain = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_ARCHIVE;
    DWORD wanted = attributes & kPlain;
    if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
    SetFileAttributesW(wide.c_str(), wanted);
  }
}

}  // namespace sz
