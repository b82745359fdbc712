// Splitting a registry path into its root code and sub key.
#include "install/registry_path.h"

#include "environment/system.h"
#include "runtime/text.h"

namespace {

constexpr std::string_view kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",
                                       "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

}  // namespace

std::string_view RegistryRootName(int root) {
  return root >= 1 && root <= 5 ? kRoots[root - 1] : std::string_view();
}

RegistryPath ParseRegistryPath(std::string_view path, bool drop_trailing_backslash) {
  RegistryPath result;
  for (int i = 0; i < 5; ++i) {
    if (StartsWith(path, kRoots[i])) {
      result.root = i + 1;
      break;
    }
  }
  if (result.root < 0) return result;
  const size_t cut = FindText(path, "\\");
  if (cut == std::string_view::npos) return result;
  result.sub_key = std::string(path.substr(cut + 1));
  if (drop_trailing_backslash && EndsWithBackslash(result.sub_key)) result.sub_key.pop_back();
  return result;
}
