// Windows side of the output files, through the wide API with the exact UTF-16 path.
#include "archive/output_file.h"

#include <windows.h>

namespace sz {
namespace {

std::wstring WidePath(const std::u16string& path) { return std::wstring(path.begin(), path.end()); }

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool OutputFile::Create(const std::u16string& path) {
  Close();
  HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (handle_ == -1) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD step = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!WriteFile(AsHandle(handle_), p, step, &done, nullptr) || done == 0) return false;
    p += done;
    size -= done;
  }
  return true;
}

void OutputFile::SetModifiedTime(uint64_t filetime) {
  if (handle_ == -1) return;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(filetime);
  time.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
  SetFileTime(AsHandle(handle_), nullptr, nullptr, &time);
}

void OutputFile::Close() {
  if (handle_ == -1) return;
  CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

bool MakeOutputFolder(const std::u16string& path, bool* made) {
  const std::wstring wide = WidePath(path);
  *made = CreateDirectoryW(wide.c_str(), nullptr) != 0;
  if (*made) return true;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteOutputFile(const std::u16string& path) {
  return DeleteFileW(WidePath(path).c_str()) != 0;
}

void PrepareOverwrite(const std::u16string& path) {
  std::wstring wide = WidePath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
}

void SetOutputAttributes(const std::u16string& path, uint32_t attributes, bool new_file) {
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
