// BZip2 decoding, one block at a time: the block's symbols are decoded whole (the inverse
// Burrows-Wheeler transform needs all of them), then its bytes are handed out as they are asked for.
#include "archive/bzip2_decoder.h"

#include <cstring>
#include <vector>

namespace sz {
namespace {

constexpr unsigned kMaxGroups = 6;
constexpr unsigned kMaxAlpha = 258;
constexpr unsigned kMaxCodeLength = 20;
constexpr unsigned kGroupSize = 50;
constexpr unsigned kMaxSelectors = 2 + 900000 / kGroupSize;

struct CrcTable {
  uint32_t t[256];
  CrcTable() {
    // The checksum of bzip2 is CRC-32 taken most significant bit first.
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int k = 0; k < 8; ++k) c = (c & 0x80000000) ? (c << 1) ^ 0x04C11DB7 : c << 1;
      t[i] = c;
    }
  }
};
const CrcTable& Crc() {
  static const CrcTable table;
  return table;
}

// Canonical Huffman decoding in the manner of the format: codes of one length are consecutive.
struct HuffmanTable {
  int32_t limit[kMaxCodeLength + 2];
  int32_t base[kMaxCodeLength + 2];
  uint16_t perm[kMaxAlpha];
  unsigned min_len, max_len;

  void Build(const uint8_t* lengths, unsigned alpha) {
    min_len = 32;
    max_len = 0;
    for (unsigned i = 0; i < alpha; ++i) {
      if (lengths[i] > max_len) max_len = lengths[i];
      if (lengths[i] < min_len) min_len = lengths[i];
    }
    unsigned p = 0;
    for (unsigned len = min_len; len <= max_len; ++len) {
      for (unsigned s = 0; s < alpha; ++s) {
        if (lengths[s] == len) perm[p++] = uint16_t(s);
      }
    }
    int32_t count[kMaxCodeLength + 2] = {};
    for (unsigned i = 0; i < alpha; ++i) ++count[lengths[i]];
    // code = first code of its length; limit = last code of the length; base maps codes to perm.
    int32_t code = 0, index = 0;
    for (unsigned len = 0; len <= kMaxCodeLength + 1; ++len) {
      limit[len] = -1;
      base[len] = 0;
    }
    for (unsigned len = min_len; len <= max_len; ++len) {
      base[len] = index - code;
      code += count[len];
      index += count[len];
      limit[len] = code - 1;
      code <<= 1;
    }
  }
};

class Bzip2Decoder : public InStream {
 public:
  Bzip2Decoder(std::unique_ptr<InStream> input, uint64_t unpack_size)
      : input_(std::move(input)), remaining_(unpack_size) {}

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    size_t n = 0;
    while (n < size && remaining_ > 0) {
      if (block_active_) {
        n += Emit(out + n, size - n);
        if (block_active_) {
          // A block holding more bytes than the stream's declared size.
          if (remaining_ == 0) return Fail(Result::kDataError);
          continue;
        }
        block_crc_ = ~block_crc_;
        if (block_crc_ != expected_block_crc_) return Fail(Result::kCrcError);
        combined_crc_ = ((combined_crc_ << 1) | (combined_crc_ >> 31)) ^ block_crc_;
        if (remaining_ == 0) {
          Result r = EndOfStream();
          if (r != Result::kOk) return Fail(r);
        }
        continue;
      }
      Result r = NextBlock();
      if (r != Result::kOk) return Fail(r);
      if (!block_active_) return Fail(Result::kDataError);  // the input ended before the output did
    }
    *got = n;
    return Result::kOk;
  }

 private:
  Result Fail(Result r) { return error_ = r; }

  // Bits, most significant first.
  bool Bits(unsigned n, uint32_t* v) {
    while (bit_count_ < n) {
      if (pos_ == end_) {
        pos_ = end_ = 0;
        size_t got = 0;
        Result r = input_->Read(buffer_, sizeof(buffer_), &got);
        if (r != Result::kOk) read_error_ = r;
        if (r != Result::kOk || got == 0) return false;
        end_ = got;
      }
      bit_buffer_ = (bit_buffer_ << 8) | buffer_[pos_++];
      bit_count_ += 8;
    }
    bit_count_ -= n;
    *v = uint32_t(bit_buffer_ >> bit_count_) & ((uint64_t(1) << n) - 1);
    return true;
  }
  Result Truncated() const { return read_error_ != Result::kOk ? read_error_ : Result::kDataError; }

  // Reads the "BZh" stream header; false at a clean end of the input.
  Result StreamHeader(bool* found) {
    *found = false;
    bit_count_ -= bit_count_ % 8;  // streams start on a byte boundary
    uint32_t b;
    if (!Bits(8, &b)) return read_error_;
    uint32_t z, h, level;
    if (b != 'B' || !Bits(8, &z) || z != 'Z' || !Bits(8, &h) || h != 'h' || !Bits(8, &level) ||
        level < '1' || level > '9')
      return read_error_ != Result::kOk ? read_error_ : Result::kDataError;
    block_max_ = (level - '0') * 100000;
    if (tt_.size() < block_max_) tt_.resize(block_max_);
    combined_crc_ = 0;
    in_stream_ = true;
    *found = true;
    return Result::kOk;
  }

  Result NextBlock() {
    if (!in_stream_) {
      bool found;
      Result r = StreamHeader(&found);
      if (r != Result::kOk) return r;
      if (!found) return Result::kOk;
    }
    uint32_t m1, m2;
    if (!Bits(24, &m1) || !Bits(24, &m2)) return Truncated();
    if (m1 == 0x177245 && m2 == 0x385090) {
      uint32_t crc;
      if (!Bits(32, &crc)) return Truncated();
      if (crc != combined_crc_) return Result::kCrcError;
      in_stream_ = false;
      return NextBlock();  // another stream may follow
    }
    if (m1 != 0x314159 || m2 != 0x265359) return Result::kDataError;
    return DecodeBlock();
  }

  // After the last expected byte the stream must end here, with the checksum of all its blocks.
  Result EndOfStream() {
    uint32_t m1, m2, crc;
    if (!Bits(24, &m1) || !Bits(24, &m2)) return Truncated();
    if (m1 != 0x177245 || m2 != 0x385090) return Result::kDataError;
    if (!Bits(32, &crc)) return Truncated();
    if (crc != combined_crc_) return Result::kCrcError;
    in_stream_ = false;
    return Result::kOk;
  }

  Result DecodeBlock() {
    uint32_t v;
    if (!Bits(32, &expected_block_crc_)) return Truncated();
    if (!Bits(1, &v)) return Truncated();
    if (v) return Result::kUnsupported;  // randomised blocks, written by no current encoder
    uint32_t orig_ptr;
    if (!Bits(24, &orig_ptr)) return Truncated();

    // Which byte values occur, as 16 groups of 16.
    uint8_t seq_to_byte[256];
    unsigned in_use = 0;
    uint32_t groups_used;
    if (!Bits(16, &groups_used)) return Truncated();
    for (unsigned i = 0; i < 16; ++i) {
      if (!(groups_used & (0x8000u >> i))) continue;
      uint32_t bits;
      if (!Bits(16, &bits)) return Truncated();
      for (unsigned j = 0; j < 16; ++j) {
        if (bits & (0x8000u >> j)) seq_to_byte[in_use++] = uint8_t(i * 16 + j);
      }
    }
    if (in_use == 0) return Result::kDataError;
    const unsigned alpha = in_use + 2;

    uint32_t num_groups, num_selectors;
    if (!Bits(3, &num_groups) || !Bits(15, &num_selectors)) return Truncated();
    if (num_groups < 2 || num_groups > kMaxGroups || num_selectors == 0) return Result::kDataError;
    selectors_.resize(num_selectors < kMaxSelectors ? num_selectors : kMaxSelectors);
    uint8_t group_mtf[kMaxGroups] = {0, 1, 2, 3, 4, 5};
    for (uint32_t i = 0; i < num_selectors; ++i) {
      unsigned j = 0;
      for (;;) {
        if (!Bits(1, &v)) return Truncated();
        if (!v) break;
        if (++j >= num_groups) return Result::kDataError;
      }
      const uint8_t g = group_mtf[j];
      for (; j > 0; --j) group_mtf[j] = group_mtf[j - 1];
      group_mtf[0] = g;
      if (i < selectors_.size()) selectors_[i] = g;  // selectors past the useful number are ignored
    }

    HuffmanTable* tables = tables_;
    for (unsigned t = 0; t < num_groups; ++t) {
      uint8_t lengths[kMaxAlpha];
      uint32_t len;
      if (!Bits(5, &len)) return Truncated();
      for (unsigned s = 0; s < alpha; ++s) {
        for (;;) {
          if (len < 1 || len > kMaxCodeLength) return Result::kDataError;
          if (!Bits(1, &v)) return Truncated();
          if (!v) break;
          if (!Bits(1, &v)) return Truncated();
          len = v ? len - 1 : len + 1;
        }
        lengths[s] = uint8_t(len);
      }
      tables[t].Build(lengths, alpha);
    }

    // Symbols: runs of the front byte (RUNA/RUNB digits), move-to-front indexes, end of block.
    uint8_t mtf[256];
    for (unsigned i = 0; i < 256; ++i) mtf[i] = uint8_t(i);
    uint32_t counts[256] = {};
    uint32_t nblock = 0;
    uint32_t run = 0, run_weight = 1;
    bool in_run = false;
    unsigned group_left = 0;
    size_t selector = 0;
    const HuffmanTable* table = nullptr;
    const unsigned end_of_block = in_use + 1;
    for (;;) {
      if (group_left == 0) {
        if (selector >= selectors_.size()) return Result::kDataError;
        table = &tables[selectors_[selector++]];
        group_left = kGroupSize;
      }
      --group_left;
      unsigned len = table->min_len;
      uint32_t code;
      if (!Bits(len, &code)) return Truncated();
      while (int32_t(code) > table->limit[len]) {
        if (++len > table->max_len) return Result::kDataError;
        if (!Bits(1, &v)) return Truncated();
        code = (code << 1) | v;
      }
      const int32_t index = int32_t(code) + table->base[len];
      if (index < 0 || index >= int32_t(alpha)) return Result::kDataError;
      const unsigned sym = table->perm[index];
      if (sym <= 1) {
        if (!in_run) {
          in_run = true;
          run = 0;
          run_weight = 1;
        }
        if (run_weight > block_max_) return Result::kDataError;
        run += run_weight << sym;
        run_weight <<= 1;
        continue;
      }
      if (in_run) {
        in_run = false;
        if (run > block_max_ - nblock) return Result::kDataError;
        const uint8_t b = seq_to_byte[mtf[0]];
        counts[b] += run;
        for (uint32_t k = 0; k < run; ++k) tt_[nblock++] = b;
      }
      if (sym == end_of_block) break;
      if (nblock >= block_max_) return Result::kDataError;
      const unsigned pos = sym - 1;
      const uint8_t m = mtf[pos];
      std::memmove(mtf + 1, mtf, pos);
      mtf[0] = m;
      const uint8_t b = seq_to_byte[m];
      ++counts[b];
      tt_[nblock++] = b;
    }
    if (orig_ptr >= nblock) return Result::kDataError;

    // Inverse transform: link every position to the one that follows it in the original text.
    uint32_t start[256];
    for (uint32_t i = 0, sum = 0; i < 256; ++i) {
      start[i] = sum;
      sum += counts[i];
    }
    for (uint32_t i = 0; i < nblock; ++i) {
      const uint8_t b = uint8_t(tt_[i]);
      tt_[start[b]++] |= i << 8;
    }
    t_pos_ = tt_[orig_ptr] >> 8;
    block_left_ = nblock;
    last_ = -1;
    same_ = 0;
    repeat_ = 0;
    block_crc_ = 0xFFFFFFFF;
    block_active_ = true;
    return Result::kOk;
  }

  // Hands out block bytes, undoing the run-length step (four equal bytes, then a repeat count).
  size_t Emit(uint8_t* out, size_t size) {
    const uint32_t* crc = Crc().t;
    if (uint64_t(size) > remaining_) size = size_t(remaining_);
    size_t n = 0;
    uint32_t c = block_crc_;
    while (n < size) {
      if (repeat_ > 0) {
        const uint8_t b = uint8_t(last_ >= 0 ? last_ : -1 - last_);
        out[n++] = b;
        c = (c << 8) ^ crc[(c >> 24) ^ b];
        --repeat_;
        continue;
      }
      if (block_left_ == 0) break;
      t_pos_ = tt_[t_pos_];
      const uint8_t b = uint8_t(t_pos_);
      t_pos_ >>= 8;
      --block_left_;
      if (int(b) == last_) {
        ++same_;
      } else {
        same_ = 1;
        last_ = b;
      }
      out[n++] = b;
      c = (c << 8) ^ crc[(c >> 24) ^ b];
      if (same_ == 4 && block_left_ > 0) {
        // The count byte after four equal bytes is taken at once, so a block whose last run ends
        // exactly at the output's end counts as finished.
        t_pos_ = tt_[t_pos_];
        repeat_ = uint8_t(t_pos_);
        t_pos_ >>= 8;
        --block_left_;
        same_ = 0;
        last_ = -1 - last_;
      }
    }
    block_crc_ = c;
    if (repeat_ == 0 && block_left_ == 0) block_active_ = false;
    remaining_ -= n;
    return n;
  }

  std::unique_ptr<InStream> input_;
  uint64_t remaining_;
  uint8_t buffer_[1 << 14];
  size_t pos_ = 0, end_ = 0;
  uint64_t bit_buffer_ = 0;
  unsigned bit_count_ = 0;
  Result read_error_ = Result::kOk;

  bool in_stream_ = false;
  uint32_t block_max_ = 0;
  uint32_t combined_crc_ = 0;
  std::vector<uint32_t> tt_;
  std::vector<uint8_t> selectors_;
  HuffmanTable tables_[kMaxGroups];

  bool block_active_ = false;
  uint32_t t_pos_ = 0, block_left_ = 0;
  int last_ = -1;
  unsigned same_ = 0, repeat_ = 0;
  uint32_t block_crc_ = 0, expected_block_crc_ = 0;
  Result error_ = Result::kOk;
};

}  // namespace

std::unique_ptr<InStream> MakeBzip2Decoder(std::unique_ptr<InStream> input, uint64_t unpack_size,
                                           Result* result) {
  if (!input) {
    *result = Result::kUnsupported;
    return nullptr;
  }
  *result = Result::kOk;
  return std::make_unique<Bzip2Decoder>(std::move(input), unpack_size);
}

}  // namespace sz
