// Directory page decisions: the browsed folder and the space panel's lines.
#include "wizard/directory_page.h"

#include "install/install_config.h"
#include "runtime/text.h"

std::string BrowsedPathText(std::string_view folder, bool auto_append,
                            std::string_view folder_name) {
  std::string text(folder);
  if (auto_append) text += "\\" + std::string(folder_name);
  return text;
}

std::string RequiredSpaceText(uint64_t bytes) { return "所需空间: " + SizeText(bytes); }
std::string FreeSpaceText(uint64_t bytes) { return "可用空间: " + SizeText(bytes); }
