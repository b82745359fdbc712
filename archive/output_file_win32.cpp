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

void SetOutputAttributes(const std::string& path, uint32_t attributes, bool new_file) {
  // Only plain attributes: never a reparse point, compression or anything the archive could
  // use to change what the file is.
  const DWORD kPlain = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                       FILE_ATTRIBUTE_ARCHIVE;
  DWORD wanted = attributes & kPlain;
  // Under Wine the call is an open, a change and a close of the file: most members skip it.
  if (new_file && wanted == FILE_ATTRIBUTE_ARCHIVE) return;
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  SetFileAttributesW(WidePath(path).c_str(), wanted);
}

}  // namespace sz
