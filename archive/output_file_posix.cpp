// Native side of the output files: "\" becomes "/" and the name UTF-8, as the runtime file layer
// maps its GBK paths. No read-only flag stands in the way of an overwrite, and the file
// attributes have no counterpart; the modification time is kept.
#include "archive/output_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "runtime/files.h"
#include "runtime/text.h"

namespace sz {
namespace {

std::string NativePath(std::u16string path) {
  std::replace(path.begin(), path.end(), u'\\', u'/');
  return Utf16ToUtf8(path);
}

}  // namespace

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(const std::u16string& path) {
  Close();
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (handle_ < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t done = ::write(static_cast<int>(handle_), p, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

void OutputFile::SetModifiedTime(uint64_t filetime) {
  if (handle_ >= 0) SetDescriptorModifiedTime(static_cast<int>(handle_), filetime);
}

void OutputFile::Close() {
  if (handle_ < 0) return;
  ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool MakeOutputFolder(const std::u16string& path, bool* made) {
  const std::string native = NativePath(path);
  *made = ::mkdir(native.c_str(), 0755) == 0;
  if (*made) return true;
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteOutputFile(const std::u16string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

void PrepareOverwrite(const std::u16string&) {}

void SetOutputAttributes(const std::u16string&, uint32_t, bool) {}

}  // namespace sz
