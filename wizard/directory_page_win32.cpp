// The free space of the chosen drive, for the directory page's space panel.
#include <windows.h>

#include "runtime/wide_win32.h"
#include "wizard/directory_page.h"

std::optional<uint64_t> FreeSpaceOfDrive(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::string root;
  const unsigned char first = static_cast<unsigned char>(path[0]);
  if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) {
    root = std::string(1, path[0]) + ":\\";
  } else if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share\ : the share is what has free space.
    const size_t server_end = path.find('\\', 2);
    const size_t share_end = server_end == std::string::npos ? server_end : path.find('\\', server_end + 1);
    root = path.substr(0, share_end) + "\\";
  } else {
    return std::nullopt;
  }
  ULARGE_INTEGER available = {};
  const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);  // no "insert a disk" box
  const BOOL ok = GetDiskFreeSpaceExW(ToWide(root).c_str(), &available, nullptr, nullptr);
  SetErrorMode(old_mode);
  if (!ok) return std::nullopt;
  return available.QuadPart / 1024 * 1024;
}
