// The "ml" directory checks.
#include "install/directory_checks.h"

#include "runtime/text.h"

bool ContainsDoubleByte(std::string_view path) {
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(path[i])) &&
        IsLeadByte(static_cast<unsigned char>(path[i + 1]))) {
      return true;
    }
  }
  return false;
}

std::string InstallPathRefusal(std::string_view path, std::string_view no_double_byte,
                               std::string_view required_entry,
                               const std::function<bool(const std::string&)>& exists) {
  if (no_double_byte == "真" && ContainsDoubleByte(path)) return kDoubleBytePathMessage;
  const std::vector<std::string> fields = SplitText(required_entry, ",");
  if (!fields.empty() && fields[0] == "真") {
    const std::string entry = fields.size() > 1 ? fields[1] : std::string();
    const std::string combined = std::string(path) + "\\" + entry;
    if (!exists || !exists(combined)) return kRequiredEntryMessage;
  }
  return std::string();
}
