// The parts of the system services that are plain logic over GBK texts: path normalisation,
// value-path splitting, the version number and the unique temporary name search.
#include "environment/system.h"

#include <cstdio>

namespace {

// A GBK trail byte may be 0x5C too; only a backslash that is a character of its own counts.
size_t LastBackslash(const std::string& text) { return FindLastText(text, "\\"); }

}  // namespace

bool EndsWithBackslash(const std::string& text) {
  return !text.empty() && LastBackslash(text) == text.size() - 1;
}

std::string NormalisePath(const std::string& path) {
  std::string result = path;
  // Paths start with a drive letter; a GBK lead byte is left as it is.
  if (!result.empty() && result[0] >= 'a' && result[0] <= 'z') result[0] -= 'a' - 'A';
  if (EndsWithBackslash(result)) result.pop_back();
  return result;
}

RegistryValuePath SplitValuePath(const std::string& value_path) {
  size_t cut = LastBackslash(value_path);
  if (cut == std::string::npos) return {value_path, std::string()};
  return {value_path.substr(0, cut), value_path.substr(cut + 1)};
}

double VersionFromWord(uint16_t low_word) {
  int major = low_word & 0xFF;
  int minor = (low_word >> 8) & 0xFF;
  return major + minor / 10.0;
}

uint32_t UniqueTempCounterStart(uint32_t process_id) {
  // An odd multiplier is a bijection of the 32-bit numbers that scatters neighbouring ids (the
  // system hands them out in order) across the whole range.
  return process_id * 2654435761u;
}

std::string UniqueTempNameWith(const std::string& folder, uint32_t tick, uint32_t& counter,
                               bool (*exists)(const std::string& path)) {
  std::string base = folder;
  // The native temporary folder ends with '/', which serves as well as a backslash.
  if (!EndsWithBackslash(base) && !(!base.empty() && base.back() == '/')) base += '\\';
  uint32_t number = tick + counter;
  uint32_t tried = 0;
  std::string candidate;
  for (;;) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(number));
    candidate = base + hex + ".tmp";
    ++tried;
    if (!exists(candidate)) break;
    ++number;
  }
  // Advance past everything looked at: a skipped name that is deleted later must not come back
  // on the next call, and neither may the name just returned, since nothing was created.
  counter += tried;
  return candidate;
}

std::string ReadRegistryText(int root, const std::string& value_path, RegistryView view) {
  Bytes data = ReadRegistryBytes(root, value_path, view);
  size_t nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
  return data;
}
