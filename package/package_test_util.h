// Helpers of the package tests on the native build: a scratch folder per test and 7z archives
// made on the spot by the real 7-Zip program ("7zz").
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "environment/system.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace package_test {

// A fresh folder in the temporary folder, removed by the destructor. Paths are GBK.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(SpecialFolder(kFolderTemp) + name + "_" + std::to_string(getpid())) {
    RemoveFolderTree(path_);
    CreateFolderLevels(path_);
  }
  ~ScratchFolder() { RemoveFolderTree(path_); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// The native form of a GBK path for the shell.
inline std::string ShellPath(const std::string& gbk) {
  std::string p = GbkToUtf8(gbk);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return "'" + p + "'";
}

// Runs 7zz in `folder` to make `archive` of `members` (paths relative to `folder`) with extra
// switches. True when 7zz succeeded.
inline bool Make7z(const std::string& folder, const std::string& archive,
                   const std::string& members, const std::string& switches) {
  const std::string command = "cd " + ShellPath(folder) + " && 7zz a -bd -bso0 -bsp0 " +
                              switches + " " + ShellPath(archive) + " " + members +
                              " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Writes a small product folder: a.txt, sub/b.txt, sub/说明.txt, c.dll.
inline void WriteProduct(const std::string& folder) {
  CreateFolderLevels(folder + "\\sub");
  WriteWholeFile(folder + "\\a.txt", "first file\r\n");
  WriteWholeFile(folder + "\\sub\\b.txt", std::string(70000, 'b'));
  WriteWholeFile(folder + "\\sub\\说明.txt", "说明文字");
  WriteWholeFile(folder + "\\c.dll", "MZ not really a library");
}

}  // namespace package_test
