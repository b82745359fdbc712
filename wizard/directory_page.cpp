// Directory page decisions: the "ml" checks, the browsed folder, the space panel's lines.
#include "wizard/directory_page.h"

#include "install/install_config.h"
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

std::string BrowsedPathText(std::string_view folder, bool auto_append,
                            std::string_view folder_name) {
  std::string text(folder);
  if (auto_append) text += "\\" + std::string(folder_name);
  return text;
}

std::string RequiredSpaceText(uint64_t bytes) { return "所需空间: " + SizeText(bytes); }
std::string FreeSpaceText(uint64_t bytes) { return "可用空间: " + SizeText(bytes); }
