// Native stand-ins for the system services, so the logic above them runs in Linux tests: the
// temporary folder is $TMPDIR or /tmp/, the other folders are unknown, the machine reports itself
// as 32-bit Windows 6.1 and its registry is empty.
#include <iconv.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>

#include "environment/system.h"

namespace {

// A GBK path as the native file layer sees it: backslashes are separators, names are UTF-8.
std::string NativePath(const std::string& path) {
  std::string mapped;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      mapped += path[i];
      mapped += path[++i];
    } else {
      mapped += c == '\\' ? '/' : path[i];
    }
  }
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return mapped;
  std::string out(mapped.size() * 3 / 2 + 4, '\0');
  char* in_ptr = mapped.data();
  size_t in_left = mapped.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  size_t done = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return mapped;
  out.resize(out.size() - out_left);
  return out;
}

bool NativePathExists(const std::string& path) {
  struct stat info;
  return stat(NativePath(path).c_str(), &info) == 0;
}

uint32_t Milliseconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

}  // namespace

std::string SpecialFolder(int number) {
  if (number != kFolderTemp) return std::string();
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && *tmp ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string UniqueTempName(const std::string& folder) {
  static uint32_t counter = 0;
  std::string base = folder.empty() ? SpecialFolder(kFolderTemp) : folder;
  return UniqueTempNameWith(base, Milliseconds(), counter, NativePathExists);
}

double WindowsVersion() { return 6.1; }

bool IsWindows64() { return false; }

bool DisableFsRedirection(void** token) {
  if (token) *token = nullptr;
  return false;
}

void RevertFsRedirection(void*) {}

Bytes ReadRegistryBytes(int, const std::string&) { return Bytes(); }
