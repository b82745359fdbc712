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

void OutputFile::Close() {
  if (handle_ == -1) return;
  CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

bool MakeOutputFolder(const std::u16string& path) {
  std::wstring wide = WidePath(path);
  CreateDirectoryW(wide.c_str(), nullptr);
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

void SetOutputFileInfo(const std::u16string& path, bool has_mtime, uint64_t mtime,
                       bool has_attributes, uint32_t attributes) {
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
