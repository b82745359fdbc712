// Files and folders on Windows: the wide API after converting each GBK path with code page 936,
// so names come out right on every display language; sizes and positions are 64-bit.
#include <windows.h>

#include "runtime/files.h"
#include "runtime/wide_win32.h"

namespace {

// The wide form of a path. Long absolute paths get the "\\?\" prefix, which lifts the 260-character
// limit of the plain form; that form takes no '/' and no "." or ".." parts, so only paths free of
// them (and of doubled separators) are prefixed. Tree removal prefixes every path it can, since the
// names below a folder may reach the limit when the folder itself does not.
std::wstring WidePath(const std::string& path, bool always = false) {
  std::wstring w = PathToWide(path);
  if (!always && w.size() < MAX_PATH - 12) return w;
  if (w.find(L'/') != std::wstring::npos || w.find(L"\\\\", 2) != std::wstring::npos) return w;
  std::wstring probe = w + L"\\";
  if (probe.find(L"\\.\\") != std::wstring::npos || probe.find(L"\\..\\") != std::wstring::npos) {
    return w;
  }
  bool drive = w.size() >= 3 && w[1] == L':' && w[2] == L'\\';
  bool unc = w.size() >= 3 && w[0] == L'\\' && w[1] == L'\\' && w[2] != L'?' && w[2] != L'.';
  if (drive) return L"\\\\?\\" + w;
  if (unc) return L"\\\\?\\UNC\\" + w.substr(2);
  return w;
}

DWORD Attributes(const std::string& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(WidePath(path).c_str());
}

// Removes the contents of `dir` and the folder itself. Links and junctions are removed as links,
// never followed, so a tree cannot reach outside itself.
bool RemoveTree(const std::wstring& dir) {
  bool ok = true;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = dir + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(child.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
      }
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          ok = RemoveDirectoryW(child.c_str()) && ok;
        } else {
          ok = RemoveTree(child) && ok;
        }
      } else {
        ok = DeleteFileW(child.c_str()) && ok;
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  DWORD attributes = GetFileAttributesW(dir.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(dir.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  return RemoveDirectoryW(dir.c_str()) && ok;
}

}  // namespace

struct File::Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
};

File::File() = default;
File::~File() { Close(); }
File::File(File&& other) noexcept = default;
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::move(other.handle_);
  }
  return *this;
}

bool File::Open(const std::string& path, Mode mode) {
  Close();
  if (path.empty()) return false;
  DWORD access = 0, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
  switch (mode) {
    case Mode::kRead:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    case Mode::kReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    case Mode::kCreate:
      access = GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case Mode::kWriteExisting: access = GENERIC_WRITE; break;
  }
  HANDLE h = CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = std::make_unique<Handle>();
  handle_->h = h;
  return true;
}

bool File::IsOpen() const { return handle_ != nullptr; }

void File::Close() {
  if (handle_) {
    CloseHandle(handle_->h);
    handle_.reset();
  }
}

int64_t File::Size() {
  if (!handle_) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_->h, &size)) return -1;
  return size.QuadPart;
}

bool File::Seek(int64_t offset) {
  if (!handle_ || offset < 0) return false;
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(handle_->h, to, nullptr, FILE_BEGIN) != 0;
}

int64_t File::Read(void* buffer, int64_t size) {
  if (!handle_ || size < 0) return -1;
  char* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < size) {
    DWORD want = static_cast<DWORD>(size - done > (1 << 30) ? (1 << 30) : size - done);
    DWORD got = 0;
    if (!ReadFile(handle_->h, p + done, want, &got, nullptr)) return done > 0 ? done : -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool File::Write(const void* buffer, int64_t size) {
  if (!handle_ || size < 0) return false;
  const char* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < size) {
    DWORD want = static_cast<DWORD>(size - done > (1 << 30) ? (1 << 30) : size - done);
    DWORD put = 0;
    if (!WriteFile(handle_->h, p + done, want, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

bool File::Flush() { return handle_ && FlushFileBuffers(handle_->h) != 0; }

bool File::SetModifiedTime(uint64_t filetime) {
  if (!handle_) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(filetime);
  time.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
  return SetFileTime(handle_->h, nullptr, nullptr, &time) != 0;
}

bool FileExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

int64_t FileSize(const std::string& path) {
  if (path.empty()) return -1;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool DeleteFileAt(const std::string& path) {
  if (path.empty()) return false;
  return DeleteFileW(WidePath(path).c_str()) != 0;
}

bool CreateOneFolder(const std::string& path) {
  if (path.empty()) return false;
  CreateDirectoryW(WidePath(path).c_str(), nullptr);
  return FolderExists(path);
}

bool RemoveFolderTree(const std::string& path) {
  if (IsFileSystemRoot(path)) return false;
  std::wstring wide = WidePath(path, true);
  while (!wide.empty() && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  DWORD a = GetFileAttributesW(wide.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveDirectoryW(wide.c_str()) != 0;
  RemoveTree(wide);
  return !FolderExists(path);
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  if (folder.empty()) return entries;
  std::wstring wide = WidePath(folder, true);
  while (!wide.empty() && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((wide + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry entry;
    entry.name = PathFromWide(name);
    entry.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.is_link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return entries;
}

bool RemoveEmptyFolder(const std::string& path) {
  if (IsFileSystemRoot(path)) return false;
  std::wstring wide = WidePath(path, true);
  while (!wide.empty() && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  const DWORD a = GetFileAttributesW(wide.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wide.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  // RemoveDirectory takes a junction or link away as a link, and refuses a folder with entries.
  return RemoveDirectoryW(wide.c_str()) != 0;
}

bool ClearReadOnly(const std::string& path) {
  if (path.empty()) return false;
  return SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_ARCHIVE) != 0;
}

bool IsLinkPath(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}
