// Native side of the output-file helpers: the path is mapped the way the runtime file layer maps
// it (GBK to UTF-8, "\" to "/"); only the modification time is kept.
#include "archive/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "runtime/text.h"

namespace sz {
namespace {

std::string NativePath(const std::string& path) {
  // A UTF-8 multi-byte sequence never holds 0x5C, so every backslash left is a separator.
  std::string native = GbkToUtf8(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

}  // namespace

void PrepareOverwrite(const std::string& path) {}

void SetOutputFileInfo(const std::string& path, bool has_mtime, uint64_t mtime, bool has_attributes,
                       uint32_t attributes) {
  if (!has_mtime) return;
  constexpr uint64_t kUnixEpochInFileTime = 116444736000000000ull;
  if (mtime < kUnixEpochInFileTime) return;
  uint64_t since = mtime - kUnixEpochInFileTime;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(since / 10000000);
  times[1].tv_nsec = static_cast<long>(since % 10000000 * 100);
  utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0);
}

}  // namespace sz
