// Fuzz target of the container parsers: BytesBetween, the items, and the file searches over any
// bytes. Input: two length bytes, a start text, an end text, then the data.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "package/container.h"
#include "runtime/files.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Holds(std::string_view data, std::string_view a, std::string_view b, std::string_view c) {
  return FindBytes(data, std::string(a) + std::string(b) + std::string(c)) != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(bytes), size);
  if (in.size() < 2) return 0;
  size_t n1 = uint8_t(in[0]) % 24, n2 = uint8_t(in[1]) % 24;
  in.remove_prefix(2);
  std::string_view start = in.substr(0, n1);
  in.remove_prefix(start.size());
  std::string_view end = in.substr(0, n2);
  in.remove_prefix(end.size());
  const std::string_view data = in;

  Bytes between = BytesBetween(data, start, end);
  if (!between.empty()) Check(Holds(data, start, between, end));

  Bytes value = "unchanged";
  if (!GetItem(data, start, value)) Check(value == "unchanged");
  Bytes edited(data);
  const bool replaced = SetItem(edited, start, end);
  if (!replaced) Check(edited.size() > data.size());
  Check(!AppendItem(data, start, end).empty());

  ContainerTimingSettings().empty_file_polls = 0;
  static const std::string path = "/tmp/qev_container_fuzz_" + std::to_string(getpid());
  if (!WriteWholeFile(path, data)) return 0;
  Bytes forward = FindBlockForward(path, start, end);
  if (!forward.empty()) Check(Holds(data, Marker(start), forward, Marker(end)));
  Bytes backward = FindBlockBackward(path, end, start);
  if (!backward.empty()) Check(Holds(data, Marker(start), backward, Marker(end)));
  Bytes image = CutProgramImage(path);
  Check(data.substr(0, image.size()) == image);
  Check(ReadRunMode(path).size() <= data.size());
  return 0;
}
