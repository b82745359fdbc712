// The one wide-to-GBK conversion of system paths, with the short-path fallback (see wide_win32.h).
#include "runtime/wide_win32.h"

#include <windows.h>

#include <vector>

namespace {

constexpr UINT kGbk = 936;

}  // namespace

std::string GbkPathFromWide(const std::wstring& path) {
  if (path.empty()) return std::string();
  const int units = static_cast<int>(path.size());
  BOOL lossy = FALSE;
  const int size =
      WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, path.data(), units, nullptr, 0, nullptr, &lossy);
  if (size > 0 && !lossy) {
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, path.data(), units, &out[0], size, nullptr,
                        nullptr);
    return out;
  }
  const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return std::string();
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD got = GetShortPathNameW(path.c_str(), buffer.data(), needed + 1);
  if (got == 0 || got > needed) return std::string();
  const std::wstring short_path(buffer.data(), got);
  if (short_path == path) return std::string();
  return GbkPathFromWide(short_path);
}
