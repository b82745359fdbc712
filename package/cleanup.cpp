// The clean-up list of the process (see cleanup.h).
#include "package/cleanup.h"

#include "runtime/files.h"
#include "runtime/text.h"

namespace {

struct Entry {
  std::string path;               // empty for an action
  std::function<void()> action;
};

std::vector<Entry>& Entries() {
  static std::vector<Entry> entries;
  return entries;
}

std::string Bare(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  return p;
}

}  // namespace

void RegisterTemporaryPath(const std::string& path) {
  const std::string bare = Bare(path);
  if (bare.empty()) return;
  for (const Entry& e : Entries()) {
    if (!e.path.empty() && EqualsIgnoreAsciiCase(e.path, bare)) return;
  }
  Entries().push_back(Entry{bare, nullptr});
}

void ForgetTemporaryPath(const std::string& path) {
  const std::string bare = Bare(path);
  std::vector<Entry>& entries = Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].path.empty() && EqualsIgnoreAsciiCase(entries[i].path, bare)) {
      entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

void RegisterCleanupAction(std::function<void()> action) {
  if (action) Entries().push_back(Entry{std::string(), std::move(action)});
}

std::vector<std::string> TemporaryPaths() {
  std::vector<std::string> paths;
  for (const Entry& e : Entries()) {
    if (!e.path.empty()) paths.push_back(e.path);
  }
  return paths;
}

void RemoveTemporaryPaths() {
  std::vector<Entry> entries;
  entries.swap(Entries());
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (it->action) {
      it->action();
    } else if (FolderExists(it->path)) {
      RemoveFolderTree(it->path);
    } else if (FileExists(it->path)) {
      DeleteFileAt(it->path);
    }
  }
}
