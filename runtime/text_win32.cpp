// Code page 936 conversion on Windows, fixed to 936 whatever the system's own code page is.
#include <windows.h>

#include "runtime/text.h"

std::u16string GbkToUtf16(std::string_view gbk) {
  std::u16string out;
  if (gbk.empty() || gbk.size() > 0x7FFFFFFF) return out;
  int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()),
                          reinterpret_cast<wchar_t*>(&out[0]), n);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  std::string out;
  if (utf16.empty() || utf16.size() > 0x3FFFFFFF) return out;
  const wchar_t* src = reinterpret_cast<const wchar_t*>(utf16.data());
  int len = static_cast<int>(utf16.size());
  int n = WideCharToMultiByte(936, 0, src, len, nullptr, 0, "?", nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  n = WideCharToMultiByte(936, 0, src, len, &out[0], n, "?", nullptr);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}
