// Windows side of the output files, through the wide API with the exact UTF-16 path; a file is
// made by its name in its open folder where that names the same file.
#include "archive/output_file.h"

#include <windows.h>
#include <winternl.h>

#include <string_view>

namespace sz {
namespace {

std::wstring WidePath(const std::u16string& path) { return std::wstring(path.begin(), path.end()); }

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// A name Windows would change on the way through the path rules (a trailing dot or space is
// dropped there) is not created by its exact NT name.
bool KeepsItsName(std::u16string_view leaf) {
  return !leaf.empty() && leaf.back() != u'.' && leaf.back() != u' ';
}

using NtCreateFileFunction = LONG(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*,
                                          IO_STATUS_BLOCK*, LARGE_INTEGER*, ULONG, ULONG, ULONG,
                                          ULONG, void*, ULONG);

NtCreateFileFunction NtCreateFileEntry() {
  static const NtCreateFileFunction entry = reinterpret_cast<NtCreateFileFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
  return entry;
}

}  // namespace

OutputFile::~OutputFile() {
  Close();
  if (folder_handle_ != -1) CloseHandle(AsHandle(folder_handle_));
}

bool OutputFile::Create(const std::u16string& path) {
  Close();
  // Members come folder by folder: the folder stays open and each file is made by its name in
  // it, which is what CreateFileW does after it has parsed the whole path.
  const size_t slash = path.rfind(u'\\');
  NtCreateFileFunction create = NtCreateFileEntry();
  // A path the plain way would refuse as too long stays refused: the uninstaller and every
  // other program must be able to reach what was written.
  if (create && slash != std::u16string::npos && slash > 0 && path.size() < MAX_PATH &&
      KeepsItsName(std::u16string_view(path).substr(slash + 1))) {
    const std::u16string_view folder(path.data(), slash);
    if (folder_handle_ == -1 || folder != folder_path_) {
      if (folder_handle_ != -1) CloseHandle(AsHandle(folder_handle_));
      folder_path_.assign(folder);
      HANDLE h = CreateFileW(WidePath(folder_path_).c_str(), FILE_TRAVERSE | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      folder_handle_ = h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
    }
    if (folder_handle_ != -1) {
      std::wstring leaf(path.begin() + static_cast<std::ptrdiff_t>(slash) + 1, path.end());
      UNICODE_STRING name;
      name.Buffer = leaf.data();
      name.Length = name.MaximumLength = static_cast<USHORT>(leaf.size() * sizeof(wchar_t));
      OBJECT_ATTRIBUTES attributes;
      InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE,
                                 AsHandle(folder_handle_), nullptr);
      IO_STATUS_BLOCK status;
      HANDLE h = nullptr;
      // What CreateFileW(GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, NORMAL) asks for.
      const ULONG kOverwriteIf = 5, kNonDirectory = 0x40, kSynchronousIo = 0x20;
      if (create(&h, GENERIC_WRITE | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status,
                 nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, kOverwriteIf,
                 kNonDirectory | kSynchronousIo, nullptr, 0) >= 0) {
        handle_ = reinterpret_cast<intptr_t>(h);
        return true;
      }
    }
  }
  // Anything else, and any failure above, goes the plain way, which also gives the error.
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
