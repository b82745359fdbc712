// The title of the request windows.
#include "plugins/request_window.h"

#include "runtime/text.h"

std::string RequestWindowTitle(std::string_view prefix, uintptr_t entry) {
  return std::string(prefix) + std::to_string(entry);
}

uintptr_t RequestEntryOf(std::string_view title, std::string_view prefix) {
  if (!StartsWith(title, prefix)) return 0;
  uintptr_t value = 0;
  for (char c : title.substr(prefix.size())) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uintptr_t>(c - '0');
  }
  return value;
}
