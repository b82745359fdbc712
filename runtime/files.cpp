// The file helpers that need no operating-system call of their own: path parts, whole-file reads
// and writes, copying and level-by-level folder creation over the File class of each platform.
#include <new>
#include <vector>

#include "runtime/files.h"

namespace {

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Positions of the separators that are real characters (a backslash can be a GBK trail byte).
std::vector<size_t> SeparatorPositions(const std::string& path) {
  std::vector<size_t> out;
  for (size_t i = 0; i < path.size();) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      i += 2;
      continue;
    }
    if (IsSeparator(path[i])) out.push_back(i);
    ++i;
  }
  return out;
}

// Splits a path into its root ("C:", "\\server\share", "/" or empty for a relative path) and
// its non-empty parts.
void SplitRoot(const std::string& path, std::string& root, std::vector<std::string>& parts) {
  std::vector<size_t> seps = SeparatorPositions(path);
  size_t start = 0;
  size_t k = 0;  // next separator index
  root.clear();
  if (path.size() >= 2 && path[1] == ':' && !IsLeadByte(static_cast<unsigned char>(path[0]))) {
    root = path.substr(0, 2);
    start = 2;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // "\\server\share": the share is part of the root. "\\?\C:\..." keeps the drive as root.
    size_t n = 0;
    size_t end = path.size();
    for (size_t s : seps) {
      if (s < 2) continue;
      if (++n == 2) {
        end = s;
        break;
      }
    }
    root = path.substr(0, end);
    if (StartsWith(path, "\\\\?\\") || StartsWith(path, "//?/")) {
      size_t after = 4;
      if (path.size() >= after + 2 && path[after + 1] == ':') {
        root = path.substr(0, after + 2);
        end = after + 2;
      }
    }
    start = end;
  } else if (!path.empty() && IsSeparator(path[0])) {
    root = "/";
    start = 1;
  }
  while (k < seps.size() && seps[k] < start) ++k;
  for (size_t pos = start; pos <= path.size();) {
    size_t next = k < seps.size() ? seps[k++] : path.size();
    if (next > pos) parts.push_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
}

}  // namespace

bool IsFileSystemRoot(const std::string& path) {
  if (path.empty()) return true;
  std::string root;
  std::vector<std::string> parts;
  SplitRoot(path, root, parts);
  // Resolve "." and ".." lexically; leaving the root (or the start of a relative path) counts as
  // reaching it.
  int depth = 0;
  for (const std::string& p : parts) {
    if (p == ".") continue;
    if (p == "..") {
      if (--depth < 0) return true;
    } else {
      ++depth;
    }
  }
  return depth == 0;
}

std::string FolderOfPath(const std::string& path) {
  std::vector<size_t> seps = SeparatorPositions(path);
  if (seps.empty()) return std::string();
  return path.substr(0, seps.back());
}

std::string NameOfPath(const std::string& path) {
  std::vector<size_t> seps = SeparatorPositions(path);
  if (seps.empty()) return path;
  return path.substr(seps.back() + 1);
}

bool CreateFolderLevels(const std::string& path) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  std::string root;
  std::vector<std::string> parts;
  SplitRoot(path, root, parts);
  std::string current = root;
  for (const std::string& part : parts) {
    // The last byte of `current` may be a trail byte equal to '\\', so only the root is checked.
    if (!current.empty() && !(current == root && IsSeparator(root.back()))) current.push_back('\\');
    current += part;
    if (part == "." || part == "..") continue;
    if (!FolderExists(current)) CreateOneFolder(current);
  }
  return FolderExists(path);
}

namespace {
bool ReadWholeFileUnguarded(const std::string& path, Bytes& content);
}  // namespace

bool ReadWholeFile(const std::string& path, Bytes& content) {
  // A file larger than the address space can hold must fail here, not throw across modules.
  try {
    return ReadWholeFileUnguarded(path, content);
  } catch (const std::bad_alloc&) {
    Bytes().swap(content);
    return false;
  }
}

namespace {

bool ReadWholeFileUnguarded(const std::string& path, Bytes& content) {
  content.clear();
  File file;
  if (!file.Open(path, File::Mode::kRead)) return false;
  int64_t size = file.Size();
  if (size < 0) return false;
  if (static_cast<uint64_t>(size) > content.max_size()) return false;
  content.resize(static_cast<size_t>(size));
  int64_t done = 0;
  while (done < size) {
    int64_t n = file.Read(&content[static_cast<size_t>(done)], size - done);
    if (n < 0) {
      content.clear();
      return false;
    }
    if (n == 0) break;  // the file shrank meanwhile
    done += n;
  }
  content.resize(static_cast<size_t>(done));
  // A file that grew meanwhile is read to its new end.
  char chunk[65536];
  for (;;) {
    int64_t n = file.Read(chunk, sizeof chunk);
    if (n < 0) {
      content.clear();
      return false;
    }
    if (n == 0) break;
    content.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::string_view content) {
  File file;
  if (!file.Open(path, File::Mode::kCreate)) return false;
  bool ok = file.Write(content.data(), static_cast<int64_t>(content.size()));
  file.Close();
  return ok;
}

bool AppendToFile(const std::string& path, std::string_view content) {
  File file;
  if (!file.Open(path, File::Mode::kWriteExisting) && !file.Open(path, File::Mode::kCreate)) {
    return false;
  }
  int64_t size = file.Size();
  if (size < 0 || !file.Seek(size)) return false;
  bool ok = file.Write(content.data(), static_cast<int64_t>(content.size()));
  file.Close();
  return ok;
}

bool CopyFileTo(const std::string& from, const std::string& to) {
  // Creating the target would truncate the source when both name the same file.
  if (EqualsIgnoreAsciiCase(from, to)) return false;
  File in;
  if (!in.Open(from, File::Mode::kRead)) return false;
  File out;
  if (!out.Open(to, File::Mode::kCreate)) return false;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    int64_t n = in.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (n < 0) return false;
    if (n == 0) break;
    if (!out.Write(buffer.data(), n)) return false;
  }
  out.Close();
  return true;
}
