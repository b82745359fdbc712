// Branch converters and the Delta filter. A converter turns the absolute addresses that the encoder
// wrote into call and jump instructions back into relative ones; the stream wrapper feeds it blocks
// and holds back the few bytes at a block's end that may belong to an instruction not yet complete.
#include "archive/branch_filters.h"

#include <cstring>

namespace sz {
namespace {

inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

// An x86 call/jump operand is only converted when its top byte looks like a near address.
inline bool NearTopByte(uint8_t b) { return b == 0x00 || b == 0xFF; }

}  // namespace

size_t ConvertX86(uint8_t* data, size_t size, uint32_t pc, X86State* state, bool encoding) {
  // Which patterns of recent candidate bytes still allow a conversion, and which operand byte to
  // re-test when the previous bytes were candidates too.
  static const bool kAllowed[8] = {true, true, true, false, true, false, false, false};
  static const unsigned kByteToTest[8] = {0, 1, 2, 2, 3, 3, 3, 3};
  if (size < 5) return 0;
  uint32_t mask = state->mask;
  uint32_t last = state->last_marker;
  if (pc - last > 5) last = pc - 5;
  const size_t limit = size - 5;
  size_t i = 0;
  while (i <= limit) {
    // Skip eight bytes at a time while none of them is E8 or E9 (a zero byte in x marks one).
    while (i + 7 <= limit) {
      uint64_t w;
      std::memcpy(&w, data + i, 8);
      const uint64_t x = (w & 0xFEFEFEFEFEFEFEFEull) ^ 0xE8E8E8E8E8E8E8E8ull;
      if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0) break;
      i += 8;
    }
    // The skip can step one byte past the last position whose operand lies inside the buffer;
    // that byte waits for the next call with the bytes after it.
    if (i > limit) break;
    uint8_t b = data[i];
    if ((b & 0xFE) != 0xE8) {
      ++i;
      continue;
    }
    const uint32_t here = pc + uint32_t(i);
    const uint32_t gap = here - last;
    last = here;
    if (gap > 5) {
      mask = 0;
    } else {
      for (uint32_t k = 0; k < gap; ++k) mask = (mask & 0x77) << 1;
    }
    b = data[i + 4];
    if (NearTopByte(b) && kAllowed[(mask >> 1) & 7] && (mask >> 1) < 0x10) {
      uint32_t src = Le32(data + i + 1);
      uint32_t dest;
      for (;;) {
        const uint32_t next_ip = here + 5;
        dest = encoding ? src + next_ip : src - next_ip;
        if (mask == 0) break;
        const unsigned k = kByteToTest[mask >> 1];
        if (!NearTopByte(uint8_t(dest >> (24 - k * 8)))) break;
        src = dest ^ ((1u << (32 - k * 8)) - 1);
      }
      dest &= 0x01FFFFFF;
      if (dest & 0x01000000) dest |= 0xFF000000;
      PutLe32(data + i + 1, dest);
      i += 5;
      mask = 0;
    } else {
      ++i;
      mask |= 1;
      if (NearTopByte(b)) mask |= 0x10;
    }
  }
  state->mask = mask;
  state->last_marker = last;
  return i;
}

size_t ConvertArm(uint8_t* data, size_t size, uint32_t pc, bool encoding) {
  size &= ~size_t(3);
  for (size_t i = 0; i < size; i += 4) {
    if (data[i + 3] != 0xEB) continue;  // BL, condition "always"
    uint32_t v = (Le32(data + i) & 0x00FFFFFF) << 2;
    const uint32_t ip = pc + uint32_t(i) + 8;
    v = encoding ? v + ip : v - ip;
    v >>= 2;
    data[i] = uint8_t(v);
    data[i + 1] = uint8_t(v >> 8);
    data[i + 2] = uint8_t(v >> 16);
  }
  return size;
}

size_t ConvertArmt(uint8_t* data, size_t size, uint32_t pc, bool encoding) {
  if (size < 4) return 0;
  size_t i = 0;
  for (; i + 4 <= size; i += 2) {
    // A 32-bit Thumb BL is two halfwords: 11110xxx xxxxxxxx, 11111xxx xxxxxxxx.
    if ((data[i + 1] & 0xF8) != 0xF0 || (data[i + 3] & 0xF8) != 0xF8) continue;
    uint32_t v = ((uint32_t(data[i + 1]) & 7) << 19) | (uint32_t(data[i]) << 11) |
                 ((uint32_t(data[i + 3]) & 7) << 8) | data[i + 2];
    v <<= 1;
    const uint32_t ip = pc + uint32_t(i) + 4;
    v = encoding ? v + ip : v - ip;
    v >>= 1;
    data[i + 1] = uint8_t(0xF0 | ((v >> 19) & 7));
    data[i] = uint8_t(v >> 11);
    data[i + 3] = uint8_t(0xF8 | ((v >> 8) & 7));
    data[i + 2] = uint8_t(v);
    i += 2;
  }
  return i;
}

size_t ConvertArm64(uint8_t* data, size_t size, uint32_t pc, bool encoding) {
  size &= ~size_t(3);
  for (size_t i = 0; i < size; i += 4) {
    uint32_t ins = Le32(data + i);
    const uint32_t here = pc + uint32_t(i);
    if ((ins >> 26) == 0x25) {
      // BL: the whole 26-bit word offset.
      const uint32_t delta = encoding ? here >> 2 : 0u - (here >> 2);
      PutLe32(data + i, 0x94000000 | ((ins + delta) & 0x03FFFFFF));
    } else if ((ins & 0x9F000000) == 0x90000000) {
      // ADRP: page offsets within +/-512 MiB only, which keeps false matches in data rare.
      const uint32_t page = ((ins >> 29) & 3) | ((ins >> 3) & 0x001FFFFC);
      if ((page + 0x00020000) & 0x001C0000) continue;
      const uint32_t delta = encoding ? here >> 12 : 0u - (here >> 12);
      const uint32_t v = page + delta;
      ins &= 0x9000001F;
      ins |= (v & 3) << 29;
      ins |= (v & 0x0003FFFC) << 3;
      ins |= (0u - (v & 0x00020000)) & 0x00E00000;
      PutLe32(data + i, ins);
    }
  }
  return size;
}

size_t ConvertPpc(uint8_t* data, size_t size, uint32_t pc, bool encoding) {
  size &= ~size_t(3);
  for (size_t i = 0; i < size; i += 4) {
    // "bl": primary opcode 18 with AA=0, LK=1.
    if ((data[i] >> 2) != 0x12 || (data[i + 3] & 3) != 1) continue;
    uint32_t v = Be32(data + i) & 0x03FFFFFC;
    const uint32_t ip = pc + uint32_t(i);
    v = encoding ? v + ip : v - ip;
    PutBe32(data + i, 0x48000000 | (v & 0x03FFFFFF) | 1);
  }
  return size;
}

size_t ConvertSparc(uint8_t* data, size_t size, uint32_t pc, bool encoding) {
  size &= ~size_t(3);
  for (size_t i = 0; i < size; i += 4) {
    // "call" with a displacement that fits 22 bits signed.
    if (!((data[i] == 0x40 && (data[i + 1] & 0xC0) == 0x00) ||
          (data[i] == 0x7F && (data[i + 1] & 0xC0) == 0xC0)))
      continue;
    uint32_t v = Be32(data + i) << 2;
    const uint32_t ip = pc + uint32_t(i);
    v = encoding ? v + ip : v - ip;
    v >>= 2;
    v = (((0u - ((v >> 22) & 1)) << 22) & 0x3FFFFFFF) | (v & 0x003FFFFF) | 0x40000000;
    PutBe32(data + i, v);
  }
  return size;
}

size_t ConvertIa64(uint8_t* data, size_t size, uint32_t pc, bool encoding) {
  // For each bundle template, the slots that may hold a branch (bit n = slot n).
  static const uint8_t kBranchSlots[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                           4, 4, 6, 6, 0, 0, 7, 7, 4, 4, 0, 0, 4, 4, 0, 0};
  size &= ~size_t(15);
  for (size_t i = 0; i < size; i += 16) {
    const unsigned slots = kBranchSlots[data[i] & 0x1F];
    for (unsigned slot = 0; slot < 3; ++slot) {
      if (((slots >> slot) & 1) == 0) continue;
      const unsigned bit_pos = 5 + 41 * slot;
      const unsigned byte_pos = bit_pos >> 3;
      const unsigned shift = bit_pos & 7;
      uint64_t raw = 0;
      for (unsigned j = 0; j < 6; ++j) raw |= uint64_t(data[i + byte_pos + j]) << (8 * j);
      uint64_t ins = raw >> shift;
      if (((ins >> 37) & 0xF) != 0x5 || ((ins >> 9) & 7) != 0) continue;
      uint32_t v = uint32_t((ins >> 13) & 0xFFFFF) | (uint32_t((ins >> 36) & 1) << 20);
      v <<= 4;
      const uint32_t ip = pc + uint32_t(i);
      v = encoding ? v + ip : v - ip;
      v >>= 4;
      ins &= ~(uint64_t(0x8FFFFF) << 13);
      ins |= uint64_t(v & 0xFFFFF) << 13;
      ins |= uint64_t(v & 0x100000) << (36 - 20);
      raw = (raw & ((uint64_t(1) << shift) - 1)) | (ins << shift);
      for (unsigned j = 0; j < 6; ++j) data[i + byte_pos + j] = uint8_t(raw >> (8 * j));
    }
  }
  return size;
}

size_t DecodeRiscv(uint8_t* data, size_t size, uint32_t pc) {
  if (size < 8) return 0;
  const size_t last = size - 8;
  size_t i = 0;
  for (; i <= last; i += 2) {
    const uint32_t b0 = data[i];
    if (b0 == 0xEF) {
      // JAL with rd = x1 or x5: the encoder stored the absolute target, bits rearranged.
      const uint32_t b1 = data[i + 1];
      if ((b1 & 0x0D) != 0) continue;
      const uint32_t b2 = data[i + 2], b3 = data[i + 3];
      uint32_t addr = ((b1 & 0xF0) << 13) | (b2 << 9) | (b3 << 1);
      addr -= pc + uint32_t(i);
      data[i + 1] = uint8_t((b1 & 0x0F) | ((addr >> 8) & 0xF0));
      data[i + 2] = uint8_t(((addr >> 16) & 0x0F) | ((addr >> 7) & 0x10) | ((addr << 4) & 0xE0));
      data[i + 3] = uint8_t(((addr >> 4) & 0x7F) | ((addr >> 13) & 0x80));
      i += 2;
      continue;
    }
    if ((b0 & 0x7F) != 0x17) continue;  // AUIPC
    uint32_t ins = Le32(data + i);
    uint32_t ins2;
    if (ins & 0xE80) {
      // rd is neither x0 nor x2: this can only be an unconverted pair that the encoder swapped
      // into the "plain" layout so the transform stays reversible on arbitrary data.
      ins2 = Le32(data + i + 4);
      if ((((ins << 8) ^ (ins2 - 3)) & 0xF8003) != 0) {
        i += 4;
        continue;
      }
      const uint32_t addr = (ins & 0xFFFFF000) + (ins2 >> 20);
      ins = 0x17 | (2u << 7) | (ins2 << 12);
      ins2 = addr;
    } else {
      // rd == x2 marks a converted pair: the second word holds the absolute address.
      const uint32_t rs1 = ins >> 27;
      if (uint32_t((ins - 0x3117) << 18) >= (rs1 & 0x1D)) {
        i += 2;
        continue;
      }
      const uint32_t addr = Be32(data + i + 4) - (pc + uint32_t(i));
      ins2 = (ins >> 12) | (addr << 20);
      ins = 0x17 | (rs1 << 7) | ((addr + 0x800) & 0xFFFFF000);
    }
    PutLe32(data + i, ins);
    PutLe32(data + i + 4, ins2);
    i += 6;
  }
  return i;
}

namespace {

// Reads until `size` bytes or the end of the input.
Result FillFrom(InStream& in, uint8_t* buffer, size_t size, size_t* got) {
  *got = 0;
  while (*got < size) {
    size_t n = 0;
    Result r = in.Read(buffer + *got, size - *got, &n);
    if (r != Result::kOk) return r;
    if (n == 0) break;
    *got += n;
  }
  return Result::kOk;
}

enum class Arch { kX86, kArm, kArmt, kArm64, kPpc, kSparc, kIa64, kRiscv };

// Pulls blocks from the input, converts them in place and hands out the converted prefix. Bytes
// the converter could not finish move to the buffer's front and wait for more input.
class BranchDecoder : public InStream {
 public:
  BranchDecoder(Arch arch, std::unique_ptr<InStream> input, uint32_t pc)
      : arch_(arch), input_(std::move(input)), pc_(pc), buffer_(kBufferSize) {}

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    while (*got < size) {
      if (pos_ == ready_) {
        if (ready_ == end_ && input_done_) break;
        Result r = Refill();
        if (r != Result::kOk) return error_ = r;
        if (pos_ == ready_) break;
      }
      size_t n = ready_ - pos_;
      if (n > size - *got) n = size - *got;
      std::memcpy(out + *got, buffer_.data() + pos_, n);
      pos_ += n;
      *got += n;
    }
    return Result::kOk;
  }

 private:
  static constexpr size_t kBufferSize = size_t(1) << 16;

  Result Refill() {
    // Keep the unconverted tail, top the buffer up, convert what can be converted.
    std::memmove(buffer_.data(), buffer_.data() + ready_, end_ - ready_);
    end_ -= ready_;
    pos_ = ready_ = 0;
    while (!input_done_ && end_ < buffer_.size()) {
      size_t n = 0;
      Result r = FillFrom(*input_, buffer_.data() + end_, buffer_.size() - end_, &n);
      if (r != Result::kOk) return r;
      if (n == 0) input_done_ = true;
      end_ += n;
    }
    size_t done = Convert(buffer_.data(), end_);
    if (done > end_) done = end_;
    if (input_done_) done = end_;  // a partial instruction at the very end stays as it is
    pc_ += uint32_t(done);
    ready_ = done;
    return Result::kOk;
  }

  size_t Convert(uint8_t* data, size_t size) {
    switch (arch_) {
      case Arch::kX86: return ConvertX86(data, size, pc_, &x86_, false);
      case Arch::kArm: return ConvertArm(data, size, pc_, false);
      case Arch::kArmt: return ConvertArmt(data, size, pc_, false);
      case Arch::kArm64: return ConvertArm64(data, size, pc_, false);
      case Arch::kPpc: return ConvertPpc(data, size, pc_, false);
      case Arch::kSparc: return ConvertSparc(data, size, pc_, false);
      case Arch::kIa64: return ConvertIa64(data, size, pc_, false);
      case Arch::kRiscv: return DecodeRiscv(data, size, pc_);
    }
    return 0;
  }

  Arch arch_;
  std::unique_ptr<InStream> input_;
  uint32_t pc_;
  X86State x86_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0;    // next byte to hand out
  size_t ready_ = 0;  // end of the converted bytes
  size_t end_ = 0;    // end of the bytes read
  bool input_done_ = false;
  Result error_ = Result::kOk;
};

// Each output byte is the input byte plus the output byte `distance` positions earlier.
class DeltaDecoder : public InStream {
 public:
  DeltaDecoder(std::unique_ptr<InStream> input, unsigned distance)
      : input_(std::move(input)), distance_(distance) {
    std::memset(history_, 0, sizeof(history_));
  }

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    Result r = input_->Read(out, size, got);
    if (r != Result::kOk) {
      *got = 0;
      return error_ = r;
    }
    // history_ is a ring of the last 256 output bytes; index by the low 8 bits of the position.
    uint8_t p = pos_;
    for (size_t i = 0; i < *got; ++i, ++p) {
      const uint8_t v = uint8_t(out[i] + history_[uint8_t(p - distance_)]);
      out[i] = v;
      history_[p] = v;
    }
    pos_ = p;
    return Result::kOk;
  }

 private:
  std::unique_ptr<InStream> input_;
  unsigned distance_;
  uint8_t history_[256];
  uint8_t pos_ = 0;
  Result error_ = Result::kOk;
};

bool ArchOf(uint64_t id, Arch* arch) {
  switch (id) {
    case method::kX86: *arch = Arch::kX86; return true;
    case method::kArm: *arch = Arch::kArm; return true;
    case method::kArmt: *arch = Arch::kArmt; return true;
    case method::kArm64: *arch = Arch::kArm64; return true;
    case method::kPpc: *arch = Arch::kPpc; return true;
    case method::kSparc: *arch = Arch::kSparc; return true;
    case method::kIa64: *arch = Arch::kIa64; return true;
    case method::kRiscv: *arch = Arch::kRiscv; return true;
    default: return false;
  }
}

}  // namespace

bool IsBranchOrDeltaMethod(uint64_t method_id) {
  Arch a;
  return method_id == method::kDelta || ArchOf(method_id, &a);
}

std::unique_ptr<InStream> MakeFilterDecoder(uint64_t method_id, std::unique_ptr<InStream> input,
                                            const std::vector<uint8_t>& props, Result* result) {
  *result = Result::kUnsupported;
  if (!input) return nullptr;
  if (method_id == method::kDelta) {
    if (props.size() != 1) return nullptr;
    *result = Result::kOk;
    return std::make_unique<DeltaDecoder>(std::move(input), unsigned(props[0]) + 1);
  }
  Arch arch;
  if (!ArchOf(method_id, &arch)) return nullptr;
  uint32_t pc = 0;
  if (props.size() == 4) {
    pc = Le32(props.data());
    if (arch == Arch::kArm64 && (pc & 3) != 0) return nullptr;
    if (arch == Arch::kRiscv && (pc & 1) != 0) return nullptr;
  } else if (!props.empty()) {
    return nullptr;
  }
  *result = Result::kOk;
  return std::make_unique<BranchDecoder>(arch, std::move(input), pc);
}

}  // namespace sz
