// Inflate: stored, fixed-code and dynamic-code blocks. Output goes through a ring buffer large
// enough for the farthest match plus the bytes not yet handed out, so decoding can pause between
// any two bytes (a long match is copied in pieces).
#include "archive/deflate_decoder.h"

#include <cstring>
#include <vector>

namespace sz {
namespace {

constexpr unsigned kMaxBits = 15;
constexpr size_t kRing = size_t(1) << 18;
constexpr size_t kMaxDistance = 65536;
constexpr size_t kAhead = kRing - kMaxDistance - 4096;  // output that may wait to be handed out

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint32_t kDistBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
const uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
const uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// One lookup of `bits` bits gives symbol and code length; codes are read least significant bit
// first, so the table is indexed by the bit-reversed code. Entries of unused codes stay 0.
struct Huffman {
  std::vector<uint16_t> table;  // symbol << 4 | length
  unsigned bits = 0;

  bool Build(const uint8_t* lengths, unsigned n) {
    unsigned count[kMaxBits + 1] = {};
    for (unsigned i = 0; i < n; ++i) ++count[lengths[i]];
    count[0] = 0;
    bits = 0;
    int left = 1;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
      left = (left << 1) - int(count[len]);
      if (left < 0) return false;  // more codes than the lengths allow
      if (count[len]) bits = len;
    }
    if (bits == 0) bits = 1;
    table.assign(size_t(1) << bits, 0);
    unsigned next[kMaxBits + 2];
    unsigned code = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
      code = (code + count[len - 1]) << 1;
      next[len] = code;
    }
    for (unsigned s = 0; s < n; ++s) {
      const unsigned len = lengths[s];
      if (!len) continue;
      unsigned c = next[len]++, rev = 0;
      for (unsigned k = 0; k < len; ++k, c >>= 1) rev = (rev << 1) | (c & 1);
      const uint16_t entry = uint16_t(s << 4 | len);
      for (size_t i = rev; i < table.size(); i += size_t(1) << len) table[i] = entry;
    }
    return true;
  }
};

class DeflateDecoder : public InStream {
 public:
  DeflateDecoder(std::unique_ptr<InStream> input, bool deflate64, uint64_t unpack_size)
      : input_(std::move(input)), deflate64_(deflate64), remaining_(unpack_size), ring_(kRing) {}

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    if (uint64_t(size) > remaining_) size = size_t(remaining_);
    size_t n = 0;
    while (n < size) {
      if (read_ == write_) {
        if (done_) return error_ = Result::kDataError;  // the stream ended before the output did
        Result r = Produce();
        if (r != Result::kOk) return error_ = r;
        continue;
      }
      const size_t at = size_t(read_ & (kRing - 1));
      size_t k = size_t(write_ - read_);
      if (k > kRing - at) k = kRing - at;
      if (k > size - n) k = size - n;
      std::memcpy(out + n, ring_.data() + at, k);
      read_ += k;
      n += k;
    }
    remaining_ -= n;
    *got = n;
    return Result::kOk;
  }

 private:
  // Bits, least significant first. Past the end of the input zero bits are supplied and counted;
  // using any of them is a data error.
  void Fill(unsigned n) {
    while (count_ < n) {
      if (pos_ == end_ && !eof_) {
        pos_ = end_ = 0;
        size_t got = 0;
        Result r = input_->Read(buffer_, sizeof(buffer_), &got);
        if (r != Result::kOk) read_error_ = r;
        if (r != Result::kOk || got == 0) eof_ = true;
        end_ = got;
      }
      if (pos_ < end_) {
        bits_ |= uint64_t(buffer_[pos_++]) << count_;
      } else {
        padding_ += 8;
      }
      count_ += 8;
    }
  }
  uint32_t Take(unsigned n) {
    Fill(n);
    const uint32_t v = uint32_t(bits_ & ((uint64_t(1) << n) - 1));
    bits_ >>= n;
    count_ -= n;
    return v;
  }
  bool Overrun() const { return padding_ > count_; }
  Result InputError() const {
    return read_error_ != Result::kOk ? read_error_ : Result::kDataError;
  }

  bool Decode(const Huffman& h, unsigned* symbol) {
    Fill(h.bits);
    const uint16_t e = h.table[bits_ & ((uint64_t(1) << h.bits) - 1)];
    const unsigned len = e & 15;
    if (len == 0) return false;  // a code the block's table does not assign
    bits_ >>= len;
    count_ -= len;
    *symbol = e >> 4;
    return true;
  }

  void Put(uint8_t b) {
    ring_[size_t(write_ & (kRing - 1))] = b;
    ++write_;
  }

  Result BlockHeader() {
    if (last_block_) {
      done_ = true;
      return Result::kOk;
    }
    last_block_ = Take(1) != 0;
    const unsigned type = Take(2);
    if (Overrun()) return InputError();
    if (type == 0) {
      const unsigned drop = count_ % 8;  // stored data starts on a byte boundary
      bits_ >>= drop;
      count_ -= drop;
      const uint32_t len = Take(16), nlen = Take(16);
      if (Overrun()) return InputError();
      if ((len ^ 0xFFFF) != nlen) return Result::kDataError;
      stored_left_ = len;
      mode_ = Mode::kStored;
      return Result::kOk;
    }
    if (type == 1) {
      uint8_t lengths[288 + 32];
      for (unsigned i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
      for (unsigned i = 0; i < 32; ++i) lengths[288 + i] = 5;
      literal_.Build(lengths, 288);
      distance_.Build(lengths + 288, 32);
      mode_ = Mode::kCodes;
      return Result::kOk;
    }
    if (type == 3) return Result::kDataError;
    const unsigned hlit = Take(5) + 257, hdist = Take(5) + 1, hclen = Take(4) + 4;
    if (hlit > 288 || hdist > 32) return Result::kDataError;
    uint8_t cl_lengths[19] = {};
    for (unsigned i = 0; i < hclen; ++i) cl_lengths[kCodeLengthOrder[i]] = uint8_t(Take(3));
    if (Overrun()) return InputError();
    Huffman cl;
    if (!cl.Build(cl_lengths, 19)) return Result::kDataError;
    uint8_t lengths[288 + 32] = {};
    for (unsigned i = 0; i < hlit + hdist;) {
      unsigned sym;
      if (!Decode(cl, &sym)) return Result::kDataError;
      if (sym < 16) {
        lengths[i++] = uint8_t(sym);
        continue;
      }
      unsigned repeat;
      uint8_t value = 0;
      if (sym == 16) {
        if (i == 0) return Result::kDataError;
        value = lengths[i - 1];
        repeat = 3 + Take(2);
      } else if (sym == 17) {
        repeat = 3 + Take(3);
      } else {
        repeat = 11 + Take(7);
      }
      if (i + repeat > hlit + hdist) return Result::kDataError;
      while (repeat--) lengths[i++] = value;
    }
    if (Overrun()) return InputError();
    if (lengths[256] == 0) return Result::kDataError;  // no end-of-block code
    if (!literal_.Build(lengths, hlit) || !distance_.Build(lengths + hlit, hdist))
      return Result::kDataError;
    mode_ = Mode::kCodes;
    return Result::kOk;
  }

  // Decodes until about a ring's worth of output waits, or the stream ends.
  Result Produce() {
    while (!done_ && write_ - read_ < kAhead) {
      if (match_left_ > 0) {
        // A match: byte by byte, as source and destination may overlap.
        uint64_t budget = kAhead - (write_ - read_);
        uint32_t k = match_left_ < budget ? match_left_ : uint32_t(budget);
        match_left_ -= k;
        while (k--) Put(ring_[size_t((write_ - match_distance_) & (kRing - 1))]);
        continue;
      }
      switch (mode_) {
        case Mode::kHeader: {
          Result r = BlockHeader();
          if (r != Result::kOk) return r;
          break;
        }
        case Mode::kStored: {
          if (stored_left_ == 0) {
            mode_ = Mode::kHeader;
            break;
          }
          --stored_left_;
          Put(uint8_t(Take(8)));
          if (Overrun()) return InputError();
          break;
        }
        case Mode::kCodes: {
          unsigned sym;
          if (!Decode(literal_, &sym) || Overrun()) return Overrun() ? InputError() : Result::kDataError;
          if (sym < 256) {
            Put(uint8_t(sym));
            break;
          }
          if (sym == 256) {
            mode_ = Mode::kHeader;
            break;
          }
          sym -= 257;
          if (sym >= 29) return Result::kDataError;
          uint32_t length;
          if (deflate64_ && sym == 28) {
            length = 3 + Take(16);
          } else {
            length = kLengthBase[sym] + Take(kLengthExtra[sym]);
          }
          unsigned dsym;
          if (!Decode(distance_, &dsym)) return Overrun() ? InputError() : Result::kDataError;
          if (dsym >= (deflate64_ ? 32u : 30u)) return Result::kDataError;
          const uint32_t distance = kDistBase[dsym] + Take(kDistExtra[dsym]);
          if (Overrun()) return InputError();
          if (distance > write_) return Result::kDataError;  // before the start of the output
          match_left_ = length;
          match_distance_ = distance;
          break;
        }
      }
    }
    return Result::kOk;
  }

  enum class Mode { kHeader, kStored, kCodes };

  std::unique_ptr<InStream> input_;
  bool deflate64_;
  uint64_t remaining_;
  std::vector<uint8_t> ring_;
  uint64_t write_ = 0, read_ = 0;

  uint8_t buffer_[1 << 14];
  size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
  uint64_t bits_ = 0;
  unsigned count_ = 0, padding_ = 0;
  Result read_error_ = Result::kOk;

  Mode mode_ = Mode::kHeader;
  bool last_block_ = false, done_ = false;
  uint32_t stored_left_ = 0;
  uint32_t match_left_ = 0, match_distance_ = 0;
  Huffman literal_, distance_;
  Result error_ = Result::kOk;
};

}  // namespace

std::unique_ptr<InStream> MakeDeflateDecoder(std::unique_ptr<InStream> input, bool deflate64,
                                             uint64_t unpack_size, Result* result) {
  if (!input) {
    *result = Result::kUnsupported;
    return nullptr;
  }
  *result = Result::kOk;
  return std::make_unique<DeflateDecoder>(std::move(input), deflate64, unpack_size);
}

}  // namespace sz
