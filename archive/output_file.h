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
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const std::u16string& path);
  // All `size` bytes, or false.
  bool Write(const void* data, size_t size);
  void Close();

 private:
  intptr_t handle_ = -1;
};

// One folder level (its parent exists); true when it is a folder afterwards.
bool MakeOutputFolder(const std::u16string& path);
bool DeleteOutputFile(const std::u16string& path);

// An existing read-only file at `path` is made writable, so overwriting it works as -y promises.
void PrepareOverwrite(const std::u16string& path);

// Sets the modification time (FILETIME) and, on Windows, the read-only, hidden, system and archive
// attributes. Best effort: a failure leaves the file as written.
void SetOutputFileInfo(const std::u16string& path, bool has_mtime, uint64_t mtime,
                       bool has_attributes, uint32_t attributes);

}  // namespace sz
