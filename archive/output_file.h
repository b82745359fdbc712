// The platform part of writing members. Output paths are UTF-16 with "\" separators, so a member
// name outside GBK keeps every character: Windows gets it through the wide API, the native build
// as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sz {

// One member file being written (created or truncated).
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const std::u16string& path);
  // All `size` bytes, or false.
  bool Write(const void* data, size_t size);
  // The modification time (a FILETIME: 100 ns units since 1601, UTC), set through the open
  // handle so no second open of the file is needed. Best effort.
  void SetModifiedTime(uint64_t filetime);
  void Close();

 private:
  intptr_t handle_ = -1;
  // Windows: the folder of the last file, held open so the next file in it is created relative
  // to it (under Wine that spares a walk of the whole path per file, here and in its server).
  intptr_t folder_handle_ = -1;
  std::u16string folder_path_;
};

// One folder level (its parent exists); true when it is a folder afterwards. `made`: this call
// created it.
bool MakeOutputFolder(const std::u16string& path, bool* made);
bool DeleteOutputFile(const std::u16string& path);

// An existing read-only file at `path` is made writable, so overwriting it works as -y promises.
void PrepareOverwrite(const std::u16string& path);

// Sets the read-only, hidden, system and archive attributes on Windows. A `new_file` (no older
// file stood at the path) already has the archive bit and nothing else, so asking for exactly
// that needs no call. Best effort: a failure leaves the file as written.
void SetOutputAttributes(const std::u16string& path, uint32_t attributes, bool new_file);

}  // namespace sz
