// Fuzz target for the filter, BCJ2 and AES decoders: the first byte picks the decoder, the next
// bytes its properties and stream split, the rest is the encoded data.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/aes_decoder.h"
#include "archive/bcj2.h"
#include "archive/branch_filters.h"

namespace {

class Bytes : public sz::InStream {
 public:
  Bytes(const uint8_t* p, size_t n, size_t chunk) : p_(p), n_(n), chunk_(chunk ? chunk : 1) {}
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

void Drain(sz::InStream* in) {
  if (!in) return;
  uint8_t buf[4096];
  for (int i = 0; i < 4096; ++i) {
    size_t got = 0;
    if (in->Read(buf, sizeof(buf), &got) != sz::Result::kOk || got == 0) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t pick = data[0] % 12;
  const size_t chunk = data[1] % 64 + 1;
  data += 2;
  size -= 2;
  sz::Result r;
  static const uint64_t kFilters[] = {sz::method::kX86,   sz::method::kArm,   sz::method::kArmt,
                                      sz::method::kArm64, sz::method::kPpc,   sz::method::kSparc,
                                      sz::method::kIa64,  sz::method::kRiscv, sz::method::kDelta};
  if (pick < 9) {
    std::vector<uint8_t> props;
    if (pick == 8) props.push_back(data[0]);
    auto d = sz::MakeFilterDecoder(kFilters[pick], std::make_unique<Bytes>(data + 1, size - 1, chunk),
                                   props, &r);
    Drain(d.get());
  } else if (pick == 9 || pick == 10) {
    // Four streams split at lengths taken from the input.
    std::vector<std::unique_ptr<sz::InStream>> ins;
    size_t at = 3, lens[3] = {data[0], data[1], data[2]};
    for (size_t i = 0; i < 4; ++i) {
      size_t n = i < 3 ? lens[i] * 4 : size;
      if (at > size) at = size;
      if (n > size - at) n = size - at;
      ins.push_back(std::make_unique<Bytes>(data + at, n, chunk));
      at += n;
    }
    auto d = sz::MakeBcj2Decoder(std::move(ins), pick == 9 ? 5000 : 17, &r);
    Drain(d.get());
  } else {
    // Few hash cycles so each run stays fast.
    std::vector<uint8_t> props(data, data + (size < 20 ? size : 20));
    if (!props.empty() && (props[0] & 0x3F) != 0x3F) props[0] &= 0xC3;
    sz::CoderContext ctx;
    ctx.has_password = true;
    ctx.password_utf16le = "p\0w\0";
    auto d = sz::MakeAesDecoder(std::make_unique<Bytes>(data, size, chunk), props, ctx, &r,
                                size / 2);
    Drain(d.get());
  }
  return 0;
}
