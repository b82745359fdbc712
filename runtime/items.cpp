// The item format and markers (see items.h).
#include "runtime/items.h"

namespace {

// Read through a volatile so the compiler cannot fold a complete marker into the program image.
volatile char marker_tail = 0x01;

}  // namespace

Bytes Marker(std::string_view text) {
  Bytes marker(text);
  marker.push_back(marker_tail);
  return marker;
}

Bytes BytesBetween(std::string_view bytes, std::string_view start, std::string_view end) {
  if (start.empty() || end.empty()) return Bytes();
  size_t from = FindBytes(bytes, start);
  if (from == std::string_view::npos) return Bytes();
  from += start.size();
  size_t to = FindBytes(bytes, end, from);
  if (to == std::string_view::npos) return Bytes();
  return Bytes(bytes.substr(from, to - from));
}

namespace {

Bytes ItemEnd(std::string_view name) {
  Bytes end(name);
  end.append("end");
  return end;
}

}  // namespace

bool GetItem(std::string_view bytes, std::string_view name, Bytes& value) {
  Bytes found = BytesBetween(bytes, Marker(name), ItemEnd(name));
  if (found.empty()) return false;
  value = std::move(found);
  return true;
}

bool IsEmptyItemValue(std::string_view value) {
  return value.empty() || value == kEmptyItemValue;
}

Bytes AppendItem(std::string_view bytes, std::string_view name, std::string_view value) {
  if (value.empty()) value = kEmptyItemValue;
  Bytes out;
  out.reserve(bytes.size() + 2 * name.size() + value.size() + 4);
  out.append(bytes);
  out.append(Marker(name));
  out.append(value);
  out.append(ItemEnd(name));
  return out;
}

bool SetItem(Bytes& bytes, std::string_view name, std::string_view value) {
  if (value.empty()) value = kEmptyItemValue;
  const Bytes start = Marker(name), end = ItemEnd(name);
  size_t from = FindBytes(bytes, start);
  if (from != std::string_view::npos) {
    from += start.size();
    size_t to = FindBytes(bytes, end, from);
    if (to != std::string_view::npos && to > from) {
      bytes.replace(from, to - from, value);
      return true;
    }
  }
  bytes = AppendItem(bytes, name, value);
  return false;
}
