// LZMA2 decoder: reads chunk headers, copies stored chunks into the window and hands LZMA chunks to
// the shared LZMA core, checking every chunk's packed size exactly.
#include "archive/lzma2_decoder.h"

#include <algorithm>
#include <cstring>

#include "archive/lzma_decoder.h"

namespace sz {

uint64_t Lzma2DictionarySize(uint8_t prop) {
  if (prop > 40) return 0;
  if (prop == 40) return 0xFFFFFFFFu;
  return uint64_t(2 | (prop & 1)) << (prop / 2 + 11);
}

namespace {

using lzma::Core;
using lzma::kMaxSymbolInput;

constexpr size_t kInputBytes = 256 * 1024;
constexpr size_t kDecodeStep = 256 * 1024;

class Lzma2Stream : public InStream {
 public:
  Result Open(std::unique_ptr<InStream> input, const std::vector<uint8_t>& props,
              uint64_t unpack_size) {
    if (props.size() < 1) return Result::kUnsupported;
    uint64_t dict = Lzma2DictionarySize(props[0]);
    if (dict == 0) return Result::kUnsupported;
    unpack_size_ = unpack_size;
    size_t ws = lzma::WindowBytes(dict, unpack_size);
    if (ws == 0) return Result::kOutOfMemory;
    // LZMA2 limits lc + lp to 4, so one allocation serves every property change.
    if (!core_.Allocate(ws, 4)) return Result::kOutOfMemory;
    if (!in_.Init(std::move(input), kInputBytes)) return Result::kOutOfMemory;
    return Result::kOk;
  }

  // Bytes decoded before an error are still handed out; the error follows on the next call.
  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    size_t done = 0;
    while (done < size) {
      size_t pending = core_.pos - out_pos_;
      if (pending != 0) {
        size_t n = std::min(pending, size - done);
        std::memcpy(buffer + done, core_.window + out_pos_, n);
        out_pos_ += n;
        done += n;
        continue;
      }
      if (error_ != Result::kOk || decoded_ == unpack_size_) break;
      error_ = DecodeMore(size - done);
    }
    *got = done;
    return done != 0 ? Result::kOk : error_;
  }


 private:
  // Called with every decoded byte copied out, so a dictionary reset may rewind the window.
  Result ReadChunkHeader() {
    if (lzma_chunk_ && (pack_left_ != 0 || core_.remain_len() != 0)) return Result::kDataError;
    if (!in_.eof && in_.Available() < 6) {
      Result r = in_.Refill();
      if (r != Result::kOk) return r;
    }
    size_t avail = in_.Available();
    const uint8_t* h = in_.cur;
    // The closing 00 byte, or no more input, before the declared size is reached.
    if (avail < 1 || h[0] == 0) return Result::kDataError;
    uint8_t control = h[0];
    if (control == 1 || control == 2) {
      if (avail < 3) return Result::kDataError;
      if (control == 1) {
        ResetDictionary();
      } else if (need_dictionary_reset_) {
        return Result::kDataError;
      }
      chunk_left_ = ((uint32_t(h[1]) << 8) | h[2]) + 1;
      lzma_chunk_ = false;
      in_.cur += 3;
      return Result::kOk;
    }
    if (control < 0x80) return Result::kDataError;
    unsigned mode = (control >> 5) & 3;
    size_t header = mode >= 2 ? 6 : 5;
    if (avail < header) return Result::kDataError;
    uint32_t unpacked = ((uint32_t(control & 0x1F) << 16) | (uint32_t(h[1]) << 8) | h[2]) + 1;
    uint32_t packed = ((uint32_t(h[3]) << 8) | h[4]) + 1;
    if (mode == 3) {
      ResetDictionary();
    } else if (need_dictionary_reset_) {
      return Result::kDataError;
    }
    if (mode >= 2) {
      unsigned lc, lp, pb;
      if (!lzma::SplitPropertiesByte(h[5], &lc, &lp, &pb) || lc + lp > 4) {
        return Result::kDataError;
      }
      core_.SetProperties(lc, lp, pb);
      have_properties_ = true;
    } else if (!have_properties_) {
      return Result::kDataError;
    }
    if (mode >= 1) core_.ResetState();
    in_.cur += header;
    if (packed < 5) return Result::kDataError;
    if (!in_.eof && in_.Available() < 5) {
      Result r = in_.Refill();
      if (r != Result::kOk) return r;
    }
    if (in_.Available() < 5 || !core_.InitRange(in_.cur)) return Result::kDataError;
    in_.cur += 5;
    pack_left_ = packed - 5;
    chunk_left_ = unpacked;
    lzma_chunk_ = true;
    return Result::kOk;
  }

  void ResetDictionary() {
    core_.ResetDictionary();
    out_pos_ = 0;
    need_dictionary_reset_ = false;
  }

  Result DecodeMore(size_t wanted) {
    if (chunk_left_ == 0) {
      Result r = ReadChunkHeader();
      if (r != Result::kOk) return r;
    }
    if (core_.pos == core_.window_size) {
      core_.pos = 0;
      out_pos_ = 0;
      core_.full = true;
    }
    uint64_t left = std::min<uint64_t>(unpack_size_ - decoded_, chunk_left_);
    size_t step = std::max(wanted, kDecodeStep);
    size_t room = core_.window_size - core_.pos;
    size_t limit = core_.pos + size_t(std::min<uint64_t>(left, std::min(room, step)));

    if (!lzma_chunk_) {
      while (core_.pos < limit) {
        if (in_.Available() == 0) {
          Result r = in_.Refill();
          if (r != Result::kOk) return r;
          if (in_.Available() == 0) return Result::kDataError;
        }
        size_t n = std::min(in_.Available(), limit - core_.pos);
        std::memcpy(core_.window + core_.pos, in_.cur, n);
        in_.cur += n;
        core_.pos += n;
        decoded_ += n;
        chunk_left_ -= uint32_t(n);
      }
      return Result::kOk;
    }

    while (core_.pos < limit) {
      if (!in_.eof && in_.Available() < pack_left_ && in_.Available() < kMaxSymbolInput) {
        Result r = in_.Refill();
        if (r != Result::kOk) return r;
      }
      const uint8_t* in_limit;
      if (in_.Available() >= pack_left_) {
        in_limit = in_.cur + pack_left_;
      } else if (in_.eof) {
        return Result::kDataError;  // the chunk is cut short
      } else {
        in_limit = in_.end - kMaxSymbolInput;
      }
      const uint8_t* in_before = in_.cur;
      size_t before = core_.pos;
      Core::Status s = core_.Decode(limit, &in_.cur, in_limit);
      size_t consumed = size_t(in_.cur - in_before);
      if (consumed > pack_left_) return Result::kDataError;
      pack_left_ -= uint32_t(consumed);
      size_t produced = core_.pos - before;
      decoded_ += produced;
      chunk_left_ -= uint32_t(produced);
      if (s != Core::Status::kOk) return Result::kDataError;
    }
    return Result::kOk;
  }

  Core core_;
  lzma::InputBuffer in_;
  uint64_t unpack_size_ = 0;
  uint64_t decoded_ = 0;
  size_t out_pos_ = 0;
  uint32_t chunk_left_ = 0;  // unpacked bytes left in the current chunk
  uint32_t pack_left_ = 0;   // packed bytes left in the current LZMA chunk
  bool lzma_chunk_ = false;
  bool need_dictionary_reset_ = true;
  bool have_properties_ = false;
  Result error_ = Result::kOk;
};

}  // namespace

std::unique_ptr<InStream> MakeLzma2Decoder(std::unique_ptr<InStream> input,
                                           const std::vector<uint8_t>& props, uint64_t unpack_size,
                                           Result* result) {
  auto s = std::make_unique<Lzma2Stream>();
  Result r = s->Open(std::move(input), props, unpack_size);
  if (result) *result = r;
  if (r != Result::kOk) return nullptr;
  return s;
}

}  // namespace sz
