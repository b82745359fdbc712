// Fuzz target: inflating arbitrary compressed package files stays within 2 x L and never crashes.
#include <cstdint>
#include <cstdlib>

#include "runtime/compressed_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Bytes out;
  bool ok = InflateCompressedFile(input, out);
  if (!ok && !out.empty()) std::abort();
  if (ok) {
    uint64_t length = uint64_t(data[4]) | (uint64_t(data[5]) << 8) | (uint64_t(data[6]) << 16) |
                      (uint64_t(data[7]) << 24);
    if (out.size() > 2 * length) std::abort();
    if (InflateCompressedFile(DeflateCompressedFile(out)) != out) std::abort();
  }
  return 0;
}
