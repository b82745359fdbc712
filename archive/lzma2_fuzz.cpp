// Fuzz target of the LZMA2 decoder. Input: 1 property byte, unpacked size (4 bytes LE, capped at
// 1 MiB), 4 bytes whose first picks the input piece size and second the thread count, then the
// packed stream.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "archive/lzma2_decoder.h"
#include "archive/lzma_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sz;
  if (size < 9) return 0;
  std::vector<uint8_t> props(data, data + 1);
  uint32_t unpack = (uint32_t(data[1]) | (uint32_t(data[2]) << 8) | (uint32_t(data[3]) << 16) |
                     (uint32_t(data[4]) << 24));
  unpack = std::min(unpack, 1u << 20);
  size_t piece = data[5] ? size_t(data[5]) * 37 : SIZE_MAX;
  auto in = std::make_unique<lzma_test::MemoryStream>(std::vector<uint8_t>(data + 9, data + size),
                                                      piece);
  Result r;
  unsigned threads = 1 + data[6] % 3;  // 1: the sequential decoder
  auto d = MakeLzma2DecoderParallel(std::move(in), props, unpack, threads, &r);
  if (!d) return 0;
  std::vector<uint8_t> buf(4099);
  uint64_t total = 0;
  for (;;) {
    size_t got = 0;
    r = d->Read(buf.data(), buf.size(), &got);
    total += got;
    if (total > unpack) std::abort();  // never more than the declared size
    if (r != Result::kOk || got == 0) break;
  }
  if (r == Result::kOk && total != unpack) std::abort();  // a short stream must be an error
  return 0;
}
