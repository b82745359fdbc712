// BCJ2 decoding. The main stream holds the program with the operands of converted E8 (call),
// E9 (jump) and 0F 8x (conditional jump) instructions cut out; those operands come, as absolute
// big-endian addresses, from the call or the jump stream, and one adaptive bit per candidate
// opcode in the range-coded stream tells whether the operand was cut out.
#include "archive/bcj2.h"

#include <cstring>

namespace sz {
namespace {

// Buffered byte reader over one input stream.
class ByteSource {
 public:
  explicit ByteSource(std::unique_ptr<InStream> in) : in_(std::move(in)), buffer_(kSize) {}

  // Ensures at least one byte is buffered; false at the end of the stream (or on an error, which
  // is left in *result).
  bool Fill(Result* result) {
    if (pos_ < end_) return true;
    if (eof_) return false;
    pos_ = end_ = 0;
    while (end_ == 0) {
      size_t n = 0;
      Result r = in_->Read(buffer_.data(), buffer_.size(), &n);
      if (r != Result::kOk) {
        *result = r;
        eof_ = true;
        return false;
      }
      if (n == 0) {
        eof_ = true;
        return false;
      }
      end_ = n;
    }
    return true;
  }

  bool Byte(uint8_t* b, Result* result) {
    if (!Fill(result)) return false;
    *b = buffer_[pos_++];
    return true;
  }

  const uint8_t* data() const { return buffer_.data() + pos_; }
  size_t available() const { return end_ - pos_; }
  void Skip(size_t n) { pos_ += n; }

 private:
  static constexpr size_t kSize = size_t(1) << 16;
  std::unique_ptr<InStream> in_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
};

inline bool IsBranchOpcode(uint8_t prev, uint8_t b) {
  return (b & 0xFE) == 0xE8 || (prev == 0x0F && (b & 0xF0) == 0x80);
}

class Bcj2Decoder : public InStream {
 public:
  Bcj2Decoder(std::vector<std::unique_ptr<InStream>> inputs, uint64_t unpack_size)
      : main_(std::move(inputs[0])),
        call_(std::move(inputs[1])),
        jump_(std::move(inputs[2])),
        rc_(std::move(inputs[3])),
        remaining_(unpack_size) {
    for (auto& p : probs_) p = kProbInit;
  }

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    Result r = Decode(out, size, got);
    if (r != Result::kOk) {
      *got = 0;
      error_ = r;
    }
    return r;
  }

 private:
  static constexpr uint32_t kTop = uint32_t(1) << 24;
  static constexpr unsigned kProbBits = 11;
  static constexpr uint16_t kProbInit = 1 << (kProbBits - 1);
  static constexpr unsigned kMoveBits = 5;

  Result Decode(uint8_t* out, size_t size, size_t* got) {
    size_t n = 0;
    if (uint64_t(size) > remaining_) size = size_t(remaining_);
    while (n < size) {
      if (pending_count_ > 0) {
        out[n++] = pending_[4 - pending_count_--];
        ++position_;
        continue;
      }
      Result r = Result::kOk;
      if (!main_.Fill(&r)) return r != Result::kOk ? r : Result::kDataError;
      // Copy plain bytes up to and including the next candidate opcode.
      const uint8_t* src = main_.data();
      size_t avail = main_.available();
      if (avail > size - n) avail = size - n;
      size_t k = 0;
      uint8_t context = 0;  // the byte before the opcode: the context of an E8 bit
      bool candidate = false;
      uint8_t before = prev_;
      while (k < avail) {
        // Eight bytes at a time while none is E8, E9 or 0F and the byte before them is no 0F
        // (a zero byte in x or y marks one).
        while (before != 0x0F && k + 8 <= avail) {
          uint64_t w;
          std::memcpy(&w, src + k, 8);
          const uint64_t x = (w & 0xFEFEFEFEFEFEFEFEull) ^ 0xE8E8E8E8E8E8E8E8ull;
          const uint64_t y = w ^ 0x0F0F0F0F0F0F0F0Full;
          if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0 ||
              ((y - 0x0101010101010101ull) & ~y & 0x8080808080808080ull) != 0)
            break;
          before = uint8_t(w >> 56);
          k += 8;
        }
        // Then byte by byte over the piece that held one of them.
        const size_t stop = avail - k > 8 ? k + 8 : avail;
        while (k < stop) {
          const uint8_t b = src[k++];
          if (IsBranchOpcode(before, b)) {
            candidate = true;
            context = before;
            break;
          }
          before = b;
        }
        if (candidate) break;
      }
      const uint8_t prev = k > 0 ? src[k - 1] : prev_;
      std::memcpy(out + n, src, k);
      main_.Skip(k);
      n += k;
      position_ += uint32_t(k);
      prev_ = prev;
      // A candidate as the stream's last byte has no operand after it, so no bit to decode.
      if (!candidate || uint64_t(n) == remaining_) continue;
      const uint8_t b = prev;
      uint16_t* p = &probs_[b == 0xE8 ? 2 + unsigned(context) : (b == 0xE9 ? 1 : 0)];
      bool converted = false;
      r = Result::kOk;
      if (!DecodeBit(p, &converted, &r)) return r;
      if (!converted) continue;
      ByteSource& s = b == 0xE8 ? call_ : jump_;
      uint8_t a[4];
      for (auto& x : a) {
        if (!s.Byte(&x, &r)) return r != Result::kOk ? r : Result::kDataError;
      }
      const uint32_t target = uint32_t(a[0]) << 24 | uint32_t(a[1]) << 16 | uint32_t(a[2]) << 8 | a[3];
      const uint32_t rel = target - (position_ + 4);
      pending_[0] = uint8_t(rel);
      pending_[1] = uint8_t(rel >> 8);
      pending_[2] = uint8_t(rel >> 16);
      pending_[3] = uint8_t(rel >> 24);
      pending_count_ = 4;
      prev_ = pending_[3];
    }
    remaining_ -= n;
    *got = n;
    return Result::kOk;
  }

  bool DecodeBit(uint16_t* prob, bool* bit, Result* r) {
    if (!rc_started_) {
      range_ = 0xFFFFFFFF;
      code_ = 0;
      for (int i = 0; i < 5; ++i) {
        uint8_t b;
        if (!rc_.Byte(&b, r)) {
          if (*r == Result::kOk) *r = Result::kDataError;
          return false;
        }
        code_ = (code_ << 8) | b;
      }
      rc_started_ = true;
    }
    if (range_ < kTop) {
      uint8_t b;
      if (!rc_.Byte(&b, r)) {
        if (*r == Result::kOk) *r = Result::kDataError;
        return false;
      }
      range_ <<= 8;
      code_ = (code_ << 8) | b;
    }
    const uint32_t bound = (range_ >> kProbBits) * *prob;
    if (code_ < bound) {
      range_ = bound;
      *prob = uint16_t(*prob + (((1u << kProbBits) - *prob) >> kMoveBits));
      *bit = false;
    } else {
      range_ -= bound;
      code_ -= bound;
      *prob = uint16_t(*prob - (*prob >> kMoveBits));
      *bit = true;
    }
    return true;
  }

  ByteSource main_, call_, jump_, rc_;
  uint64_t remaining_;
  uint32_t position_ = 0;  // output position, the base of the relative operands
  uint8_t prev_ = 0;       // last byte written (opcode context)
  uint8_t pending_[4] = {};
  unsigned pending_count_ = 0;
  uint16_t probs_[2 + 256];
  bool rc_started_ = false;
  uint32_t range_ = 0, code_ = 0;
  Result error_ = Result::kOk;
};

}  // namespace

std::unique_ptr<InStream> MakeBcj2Decoder(std::vector<std::unique_ptr<InStream>> inputs,
                                          uint64_t unpack_size, Result* result) {
  if (inputs.size() != 4) {
    *result = Result::kUnsupported;
    return nullptr;
  }
  for (auto& in : inputs) {
    if (!in) {
      *result = Result::kUnsupported;
      return nullptr;
    }
  }
  *result = Result::kOk;
  return std::make_unique<Bcj2Decoder>(std::move(inputs), unpack_size);
}

}  // namespace sz
