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

// A file path in the exact GBK form of text.h ("Stra?00DFe.txt") and back: what the file
// functions take and what folder listings give.
inline std::wstring PathToWide(const std::string& gbk_path) {
  std::u16string w = GbkPathToUtf16(gbk_path);
  return std::wstring(w.begin(), w.end());
}

inline std::string PathFromWide(const std::wstring& wide) {
  return Utf16ToGbkPath(std::u16string(wide.begin(), wide.end()));
}

// A path from the system (module file, folders, temporary files) as GBK. A path with a character
// GBK cannot hold ("C:\Jörg\setup.exe") is useless to the rest of the program, so its short (8.3)
// form is taken instead; failing that, the answer is empty. Every path that comes from a wide call
// goes through here.
std::string GbkPathFromWide(const std::wstring& path);
