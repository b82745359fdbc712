// Files and folders on the native build: GBK paths become UTF-8 POSIX paths, with every backslash
// that is a character of its own (not a GBK trail byte) turned into '/'.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/files.h"

namespace {

std::string NativePath(const std::string& gbk) {
  std::string p = gbk;
  for (size_t i = 0; i < p.size();) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (IsLeadByte(c) && i + 1 < p.size()) {
      i += 2;
      continue;
    }
    if (c == '\\') p[i] = '/';
    ++i;
  }
  return Utf16ToUtf8(GbkPathToUtf16(p));
}

bool StatPath(const std::string& path, struct stat& st) {
  if (path.empty()) return false;
  return ::stat(NativePath(path).c_str(), &st) == 0;
}

// Removes everything below and including `dir` without following symbolic links.
bool RemoveTree(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return false;
  bool ok = true;
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string child = dir + "/" + name;
    struct stat st;
    if (::lstat(child.c_str(), &st) != 0) {
      ok = false;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      ok = RemoveTree(child) && ok;
    } else if (::unlink(child.c_str()) != 0) {
      ok = false;
    }
  }
  ::closedir(d);
  return ::rmdir(dir.c_str()) == 0 && ok;
}

}  // namespace

struct File::Handle {
  int fd = -1;
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
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case Mode::kWriteExisting: flags |= O_WRONLY; break;
  }
  int fd = ::open(NativePath(path).c_str(), flags, 0644);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // folders are not files, as on Windows
    ::close(fd);
    return false;
  }
  handle_ = std::make_unique<Handle>();
  handle_->fd = fd;
  return true;
}

bool File::IsOpen() const { return handle_ != nullptr; }

void File::Close() {
  if (handle_) {
    ::close(handle_->fd);
    handle_.reset();
  }
}

int64_t File::Size() {
  if (!handle_) return -1;
  struct stat st;
  if (::fstat(handle_->fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool File::Seek(int64_t offset) {
  if (!handle_ || offset < 0) return false;
  return ::lseek(handle_->fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

int64_t File::Read(void* buffer, int64_t size) {
  if (!handle_ || size < 0) return -1;
  char* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < size) {
    size_t want = static_cast<size_t>(std::min<int64_t>(size - done, 1 << 30));
    ssize_t n = ::read(handle_->fd, p + done, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool File::Write(const void* buffer, int64_t size) {
  if (!handle_ || size < 0) return false;
  const char* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < size) {
    size_t want = static_cast<size_t>(std::min<int64_t>(size - done, 1 << 30));
    ssize_t n = ::write(handle_->fd, p + done, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += n;
  }
  return true;
}

bool File::Flush() { return handle_ && ::fsync(handle_->fd) == 0; }

bool SetDescriptorModifiedTime(int fd, uint64_t filetime) {
  constexpr uint64_t kUnixEpochInFileTime = 116444736000000000ull;
  if (filetime < kUnixEpochInFileTime) return false;
  const uint64_t since = filetime - kUnixEpochInFileTime;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(since / 10000000);
  times[1].tv_nsec = static_cast<long>(since % 10000000 * 100);
  return ::futimens(fd, times) == 0;
}

bool File::SetModifiedTime(uint64_t filetime) {
  return handle_ && SetDescriptorModifiedTime(handle_->fd, filetime);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool DeleteFileAt(const std::string& path) {
  if (!FileExists(path)) return false;
  return ::unlink(NativePath(path).c_str()) == 0;
}

bool CreateOneFolder(const std::string& path) {
  if (path.empty()) return false;
  ::mkdir(NativePath(path).c_str(), 0755);
  return FolderExists(path);
}

bool RemoveFolderTree(const std::string& path) {
  if (IsFileSystemRoot(path)) return false;
  std::string native = NativePath(path);
  struct stat st;
  // A link to a folder is removed as a link; what it points to is left alone.
  if (::lstat(native.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) return ::unlink(native.c_str()) == 0;
  if (!S_ISDIR(st.st_mode)) return false;
  RemoveTree(native);
  return !FolderExists(path);
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  const std::string native = NativePath(folder);
  DIR* d = ::opendir(native.c_str());
  if (d == nullptr) return entries;
  while (struct dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::lstat((native + "/" + name).c_str(), &st) != 0) continue;
    FolderEntry entry;
    entry.name = Utf16ToGbkPath(Utf8ToUtf16(name));
    entry.is_link = S_ISLNK(st.st_mode);
    struct stat target;
    entry.is_folder = S_ISDIR(st.st_mode) ||
                      (entry.is_link && ::stat((native + "/" + name).c_str(), &target) == 0 &&
                       S_ISDIR(target.st_mode));
    entries.push_back(std::move(entry));
  }
  ::closedir(d);
  return entries;
}

bool RemoveEmptyFolder(const std::string& path) {
  if (IsFileSystemRoot(path)) return false;
  const std::string native = NativePath(path);
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) return ::unlink(native.c_str()) == 0;
  return S_ISDIR(st.st_mode) && ::rmdir(native.c_str()) == 0;
}

bool ClearReadOnly(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st)) return false;
  return ::chmod(NativePath(path).c_str(), st.st_mode | S_IWUSR) == 0;
}

bool IsLinkPath(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(NativePath(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
