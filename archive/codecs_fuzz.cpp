// Fuzz target for the PPMd, BZip2, Deflate and Deflate64 decoders: the first byte picks the
// decoder (and the PPMd order), the second the read size, the rest is the compressed stream.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/bzip2_decoder.h"
#include "archive/deflate_decoder.h"
#include "archive/ppmd_decoder.h"

namespace {

class Bytes : public sz::InStream {
 public:
  Bytes(const uint8_t* p, size_t n, size_t chunk) : p_(p), n_(n), chunk_(chunk) {}
  sz::Result Read(uint8_t* out, size_t size, size_t* got) override {
    size_t k = n_ < size ? n_ : size;
    if (k > chunk_) k = chunk_;
    for (size_t i = 0; i < k; ++i) out[i] = p_[i];
    p_ += k;
    n_ -= k;
    *got = k;
    return sz::Result::kOk;
  }

 private:
  const uint8_t* p_;
  size_t n_, chunk_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const unsigned pick = data[0] & 3;
  const size_t chunk = size_t(data[1]) * 64 + 1;
  const uint64_t out_size = 1 + (size_t(data[2]) << 10);
  auto in = std::make_unique<Bytes>(data + 3, size - 3, chunk);
  sz::Result r;
  std::unique_ptr<sz::InStream> d;
  if (pick == 0) {
    const std::vector<uint8_t> props = {uint8_t(2 + (data[0] >> 2) % 40), 0, 0, 1, 0};  // 64 KiB
    d = sz::MakePpmdDecoder(std::move(in), props, out_size, &r);
  } else if (pick == 1) {
    d = sz::MakeBzip2Decoder(std::move(in), out_size, &r);
  } else {
    d = sz::MakeDeflateDecoder(std::move(in), pick == 3, out_size, &r);
  }
  if (!d) return 0;
  std::vector<uint8_t> buf(4096);
  for (;;) {
    size_t got = 0;
    if (d->Read(buf.data(), buf.size(), &got) != sz::Result::kOk || got == 0) break;
  }
  return 0;
}
