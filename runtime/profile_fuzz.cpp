// Fuzz target: the profile reader on arbitrary bytes, and a write that must read back.
#include <cstdint>
#include <cstdlib>

#include "runtime/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view content(reinterpret_cast<const char*>(data), size);
  ProfileText profile(content);
  for (const std::string& section : profile.SectionNames()) {
    for (const std::string& key : profile.KeyNames(section)) {
      if (profile.Get(section, key).size() > kProfileValueLimit) std::abort();
    }
  }
  // Names and values without line breaks, brackets or '=' survive a write and read back.
  Bytes written = SetProfileValue(content, "fuzz section", "fuzz key", "fuzz value");
  if (ProfileValue(written, "FUZZ SECTION", "Fuzz Key") != "fuzz value") std::abort();
  return 0;
}
