// Files and folders by GBK path. On Windows every call goes through the wide API after converting
// the path with code page 936; the native build maps the same calls onto POSIX (a backslash
// outside a double-byte character is a folder separator there, and names are converted to UTF-8),
// so container and archive code runs in native tests unchanged. Sizes and offsets are 64-bit.
// Paths are taken, and folder names listed, in the exact form of Utf16ToGbkPath (text.h), so a
// name GBK cannot hold is still reached.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/text.h"

// A file opened for reading and/or writing. Failures are reported by false / -1, never thrown.
class File {
 public:
  enum class Mode {
    kRead,       // existing file, shared read/write
    kReadWrite,  // existing file
    kCreate,     // created or truncated, write
    kWriteExisting,  // existing file, write only
  };
  File();
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  bool Open(const std::string& path, Mode mode);
  bool IsOpen() const;
  void Close();
  int64_t Size();                 // -1 on failure
  bool Seek(int64_t offset);      // absolute position; may lie beyond the end
  // Reads up to `size` bytes at the current position; returns the count read (0 at end), -1 on error.
  int64_t Read(void* buffer, int64_t size);
  // Writes all `size` bytes at the current position; false when any could not be written.
  bool Write(const void* buffer, int64_t size);
  bool Flush();
  // Sets the modification time (a FILETIME: 100 ns units since 1601, UTC) through the open handle,
  // which costs no second open of the file. False when it could not be set.
  bool SetModifiedTime(uint64_t filetime);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

#ifndef _WIN32
// The same for an open POSIX descriptor (the native build's file layers share it). Times before
// 1970 have no counterpart and are left alone (false).
bool SetDescriptorModifiedTime(int fd, uint64_t filetime);
#endif

// Whole-file read; false when the file cannot be opened or read.
bool ReadWholeFile(const std::string& path, Bytes& content);
// Whole-file write (created or replaced); false on any failure.
bool WriteWholeFile(const std::string& path, std::string_view content);
bool AppendToFile(const std::string& path, std::string_view content);

bool FileExists(const std::string& path);    // a file (not a folder)
bool FolderExists(const std::string& path);
bool PathExists(const std::string& path);    // file or folder
int64_t FileSize(const std::string& path);   // -1 when missing
bool DeleteFileAt(const std::string& path);
bool CopyFileTo(const std::string& from, const std::string& to);

// Creates one folder (its parent must exist). True when it exists afterwards.
bool CreateOneFolder(const std::string& path);
// Creates the folder and every missing parent, level by level. True when it exists afterwards.
bool CreateFolderLevels(const std::string& path);
// Removes a folder with everything in it. Refuses (false, nothing removed) an empty path and a
// drive or file-system root.
bool RemoveFolderTree(const std::string& path);

// One entry of a folder: its name, whether it is a folder, and whether it is a symbolic link or
// junction (which removals take away as a link and never enter).
struct FolderEntry {
  std::string name;
  bool is_folder = false;
  bool is_link = false;
};
// The entries of a folder ("." and ".." left out); empty when it cannot be listed.
std::vector<FolderEntry> ListFolder(const std::string& folder);
// Removes a folder only when it is empty (a link to a folder: the link). Refuses what
// RemoveFolderTree refuses.
bool RemoveEmptyFolder(const std::string& path);
// Sets the file's attributes to "archive" alone, which clears read-only; false on failure.
bool ClearReadOnly(const std::string& path);
// True when the path itself is a symbolic link or junction.
bool IsLinkPath(const std::string& path);

// True for the paths RemoveFolderTree refuses: empty, only separators, a drive ("C:", "C:\"), a
// network share root ("\\server\share"), or a path whose "." and ".." parts lead back to one
// of those (or to the current folder).
bool IsFileSystemRoot(const std::string& path);

// Folder part of a path (without the final separator) and file-name part.
std::string FolderOfPath(const std::string& path);
std::string NameOfPath(const std::string& path);
