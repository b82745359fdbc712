// GBK <-> wide text for the Win32 calls of every module (code page 936, whatever the system's).
#pragma once

#include <string>

#include "runtime/text.h"

inline std::wstring ToWide(const std::string& gbk) {
  std::u16string w = GbkToUtf16(gbk);
  return std::wstring(w.begin(), w.end());
}

inline std::string FromWide(const std::wstring& wide) {
  return Utf16ToGbk(std::u16string(wide.begin(), wide.end()));
}
