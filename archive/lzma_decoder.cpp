// LZMA decoder: range decoder, probability model and window decoding, and the pull stream that 7z's
// LZMA coder uses. The hot loop keeps the coder state in locals and decodes straight into the window.
#include "archive/lzma_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__GNUC__)
#define LZ_INLINE inline __attribute__((always_inline))
#define LZ_LIKELY(x) __builtin_expect(!!(x), 1)
#define LZ_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define LZ_INLINE inline
#define LZ_LIKELY(x) (x)
#define LZ_UNLIKELY(x) (x)
#endif

namespace sz {
namespace lzma {
namespace {

constexpr uint32_t kTop = 1u << 24;
constexpr unsigned kModelBits = 11;
constexpr uint32_t kModelOne = 1u << kModelBits;
constexpr unsigned kMoveBits = 5;

constexpr unsigned kStates = 12;
constexpr unsigned kMaxPosStates = 16;
constexpr unsigned kLenLowSymbols = 8;
constexpr unsigned kLenMidSymbols = 8;
constexpr unsigned kLenHighSymbols = 256;
constexpr unsigned kMatchMinLen = 2;
constexpr unsigned kEndPosModelIndex = 14;
constexpr unsigned kAlignBits = 4;

// Layout of one length model.
constexpr unsigned kLenChoice = 0;
constexpr unsigned kLenChoice2 = 1;
constexpr unsigned kLenLow = 2;
constexpr unsigned kLenMid = kLenLow + kMaxPosStates * kLenLowSymbols;
constexpr unsigned kLenHigh = kLenMid + kMaxPosStates * kLenMidSymbols;
constexpr unsigned kLenModelSize = kLenHigh + kLenHighSymbols;

// Layout of the whole probability array; literals come last because their count varies.
constexpr unsigned kIsMatch = 0;
constexpr unsigned kIsRep = kIsMatch + kStates * kMaxPosStates;
constexpr unsigned kIsRepG0 = kIsRep + kStates;
constexpr unsigned kIsRepG1 = kIsRepG0 + kStates;
constexpr unsigned kIsRepG2 = kIsRepG1 + kStates;
constexpr unsigned kIsRep0Long = kIsRepG2 + kStates;
constexpr unsigned kPosSlot = kIsRep0Long + kStates * kMaxPosStates;
constexpr unsigned kSpecPos = kPosSlot + 4 * 64;
constexpr unsigned kSpecPosSize = 114;  // reverse trees of slots 4..13: 1,1,3,3,7,7,15,15,31,31
constexpr unsigned kAlign = kSpecPos + kSpecPosSize;
constexpr unsigned kMatchLen = kAlign + (1u << kAlignBits);
constexpr unsigned kRepLen = kMatchLen + kLenModelSize;
constexpr unsigned kLiteral = kRepLen + kLenModelSize;
constexpr unsigned kLiteralCoderSize = 0x300;

// Where each short slot's reverse tree starts inside kSpecPos, minus one (tree indices start at 1).
constexpr int kSpecPosStart[kEndPosModelIndex] = {0, 0, 0, 0, -1, 0, 1, 4, 7, 14, 21, 36, 51, 82};

constexpr uint8_t kNextAfterLiteral[kStates] = {0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 4, 5};

// One adaptive bit of probability pv (adapted and stored back at p), decided without a branch on
// its value: for bits the predictor cannot guess (literals, tree symbols) a mispredicted jump
// costs more than computing both outcomes.
LZ_INLINE unsigned FlatBit(uint32_t pv, uint16_t* p, uint32_t& range, uint32_t& code,
                           const uint8_t*& in) {
  uint32_t bound = (range >> kModelBits) * pv;
  unsigned bit = code >= bound;
  uint32_t mask = 0u - bit;
  code -= bound & mask;
  range = bit ? range - bound : bound;
  // Bit 0 moves the probability up by (2048 - p) >> 5, bit 1 down by p >> 5: both are
  // p - ((p - t) >> 5) with an arithmetic shift, t = 2017 for 0 and t = 0 for 1.
  *p = uint16_t(pv - uint32_t(int32_t(pv - (~mask & (kModelOne - 31))) >> kMoveBits));
  if (range < kTop) {
    range <<= 8;
    code = (code << 8) | *in++;
  }
  return bit;
}

LZ_INLINE unsigned BitFlat(uint16_t* p, uint32_t& range, uint32_t& code, const uint8_t*& in) {
  return FlatBit(*p, p, range, code, in);
}

// The same bit with a branch, as a statement pair, for decisions that lead to different code
// paths anyway.
#define LZ_IF_BIT0(p)                                   \
  uint32_t pv_ = *(p);                                  \
  uint32_t bound_ = (range >> kModelBits) * pv_;        \
  if (code < bound_) {                                  \
    range = bound_;                                     \
    *(p) = uint16_t(pv_ + ((kModelOne - pv_) >> kMoveBits)); \
    if (range < kTop) {                                 \
      range <<= 8;                                      \
      code = (code << 8) | *in++;                       \
    }

#define LZ_ELSE(p)                          \
  }                                         \
  else {                                    \
    range -= bound_;                        \
    code -= bound_;                         \
    *(p) = uint16_t(pv_ - (pv_ >> kMoveBits)); \
    if (range < kTop) {                     \
      range <<= 8;                          \
      code = (code << 8) | *in++;           \
    }

// A bit tree of kBits levels, returning the symbol with its leading 1 (1 << kBits ... 2^(kBits+1)-1).
// Both children of a node are adjacent, so their probabilities are read while the node's own bit
// is still being decided: the next bit then waits only for the choice between them.
template <unsigned kBits>
LZ_INLINE unsigned TreeSymbol(uint16_t* probs, uint32_t& range, uint32_t& code, const uint8_t*& in) {
  unsigned m = 1;
  uint32_t pv = probs[1];
#pragma GCC unroll 8
  for (unsigned i = 0; i < kBits; ++i) {
    // Both children in one load; the shift that picks one is cheaper than a second load.
    uint32_t children;
    std::memcpy(&children, probs + 2 * m, 4);
    const unsigned bit = FlatBit(pv, probs + m, range, code, in);
    m = (m << 1) + bit;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    pv = (children >> ((bit ^ 1) * 16)) & 0xFFFF;
#else
    pv = (children >> (bit * 16)) & 0xFFFF;
#endif
  }
  return m;
}

template <unsigned kBits>
LZ_INLINE unsigned Tree(uint16_t* probs, uint32_t& range, uint32_t& code, const uint8_t*& in) {
  return TreeSymbol<kBits>(probs, range, code, in) - (1u << kBits);
}

LZ_INLINE unsigned ReverseTree(uint16_t* probs, unsigned bits, uint32_t& range, uint32_t& code,
                               const uint8_t*& in) {
  unsigned m = 1, sym = 0;
  for (unsigned i = 0; i < bits; ++i) {
    unsigned bit = BitFlat(probs + m, range, code, in);
    m = (m << 1) + bit;
    sym |= bit << i;
  }
  return sym;
}

// Copies n >= 1 bytes between ranges that do not overlap, in a few unaligned pieces: the library's
// memcpy costs more to enter than most matches take to copy.
LZ_INLINE void CopyApart(uint8_t* dst, const uint8_t* src, size_t n) {
  if (n >= 8) {
    uint64_t a, b;
    if (n <= 16) {
      std::memcpy(&a, src, 8);
      std::memcpy(&b, src + n - 8, 8);
      std::memcpy(dst, &a, 8);
      std::memcpy(dst + n - 8, &b, 8);
      return;
    }
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      std::memcpy(&a, src + i, 8);
      std::memcpy(&b, src + i + 8, 8);
      std::memcpy(dst + i, &a, 8);
      std::memcpy(dst + i + 8, &b, 8);
    }
    std::memcpy(&a, src + n - 16, 8);
    std::memcpy(&b, src + n - 8, 8);
    std::memcpy(dst + n - 16, &a, 8);
    std::memcpy(dst + n - 8, &b, 8);
    return;
  }
  if (n >= 4) {
    uint32_t a, b;
    std::memcpy(&a, src, 4);
    std::memcpy(&b, src + n - 4, 4);
    std::memcpy(dst, &a, 4);
    std::memcpy(dst + n - 4, &b, 4);
    return;
  }
  dst[0] = src[0];
  if (n > 1) {
    dst[1] = src[1];
    dst[n - 1] = src[n - 1];
  }
}

// Returns the match length minus kMatchMinLen.
LZ_INLINE unsigned Length(uint16_t* lm, unsigned pos_state, uint32_t& range, uint32_t& code,
                          const uint8_t*& in) {
  unsigned len;
  {
    LZ_IF_BIT0(lm + kLenChoice)
    return Tree<3>(lm + kLenLow + pos_state * kLenLowSymbols, range, code, in);
    LZ_ELSE(lm + kLenChoice)
    }
  }
  {
    LZ_IF_BIT0(lm + kLenChoice2)
    len = kLenLowSymbols + Tree<3>(lm + kLenMid + pos_state * kLenMidSymbols, range, code, in);
    LZ_ELSE(lm + kLenChoice2)
    len = kLenLowSymbols + kLenMidSymbols + Tree<8>(lm + kLenHigh, range, code, in);
    }
  }
  return len;
}

}  // namespace

size_t WindowBytes(uint64_t dictionary, uint64_t unpack_size) {
  uint64_t w = std::min(dictionary, unpack_size);
  if (w < kMinWindow) w = kMinWindow;
  w = (w + 63) & ~uint64_t(63);
  if (w > kMaxDictionaryBytes || w > SIZE_MAX / 2) return 0;
  return size_t(w);
}

bool SplitPropertiesByte(uint8_t b, unsigned* lc, unsigned* lp, unsigned* pb) {
  if (b >= 9 * 5 * 5) return false;
  *lc = b % 9;
  b /= 9;
  *lp = b % 5;
  *pb = b / 5;
  return true;
}

bool InputBuffer::Init(std::unique_ptr<InStream> source, size_t capacity) {
  source_ = std::move(source);
  capacity_ = capacity;
  data_.reset(new (std::nothrow) uint8_t[capacity + kInputPadding]);
  if (!data_) return false;
  std::memset(data_.get(), 0, capacity + kInputPadding);
  cur = end = data_.get();
  eof = !source_;
  return true;
}

Result InputBuffer::Refill() {
  size_t have = Available();
  uint8_t* base = data_.get();
  if (cur != base) {
    std::memmove(base, cur, have);
    cur = base;
    end = base + have;
  }
  while (!eof && have < capacity_) {
    size_t got = 0;
    Result r = source_->Read(base + have, capacity_ - have, &got);
    if (r != Result::kOk) return r;
    if (got == 0) eof = true;
    have += got;
    end = base + have;
  }
  // Zero padding behind the data keeps reads past a truncated end deterministic.
  std::memset(base + have, 0, kInputPadding);
  return Result::kOk;
}

Core::~Core() { delete[] window; }

bool Core::Allocate(size_t window_bytes, unsigned lc_plus_lp) {
  // A window of the same size is kept: its pages are already mapped.
  if (!window || window_size != window_bytes) {
    delete[] window;
    window = new (std::nothrow) uint8_t[window_bytes];
    if (!window) return false;
  }
  window_size = window_bytes;
  pos = 0;
  full = false;
  lc_plus_lp_max_ = lc_plus_lp;
  try {
    probs_.assign(kLiteral + (kLiteralCoderSize << lc_plus_lp), uint16_t(kModelOne / 2));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void Core::SetProperties(unsigned lc, unsigned lp, unsigned pb) {
  lc_ = lc;
  lp_mask_ = (1u << lp) - 1;
  pb_mask_ = (1u << pb) - 1;
}

void Core::ResetState() {
  size_t n = kLiteral + (kLiteralCoderSize << lc_plus_lp_max_);
  std::fill(probs_.begin(), probs_.begin() + n, uint16_t(kModelOne / 2));
  state_ = 0;
  rep0_ = rep1_ = rep2_ = rep3_ = 0;
  remain_len_ = 0;
}

bool Core::InitRange(const uint8_t* b) {
  if (b[0] != 0) return false;
  code_ = (uint32_t(b[1]) << 24) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 8) | b[4];
  range_ = 0xFFFFFFFFu;
  return code_ != range_;
}

Core::Status Core::Decode(size_t limit, const uint8_t** in_io, const uint8_t* in_limit) {
  uint8_t* const win = window;
  const size_t ws = window_size;
  size_t p = pos;
  const uint8_t* in = *in_io;
  uint32_t range = range_, code = code_;
  uint32_t state = state_;
  uint32_t rep0 = rep0_, rep1 = rep1_, rep2 = rep2_, rep3 = rep3_;
  uint16_t* const probs = probs_.data();
  const unsigned lc = lc_, lp_mask = lp_mask_, pb_mask = pb_mask_;
  bool wrapped = full;
  Status status = Status::kOk;

  // Finish a match that the previous call had to cut at its limit.
  if (remain_len_ != 0 && p < limit) {
    size_t n = std::min<size_t>(remain_len_, limit - p);
    size_t src = p >= size_t(rep0) + 1 ? p - rep0 - 1 : p + ws - rep0 - 1;
    for (size_t i = 0; i < n; ++i) {
      win[p++] = win[src++];
      if (src == ws) src = 0;
    }
    remain_len_ -= uint32_t(n);
  }

  while (p < limit && in <= in_limit) {
    unsigned pos_state = unsigned(p) & pb_mask;
    uint16_t* pm = probs + kIsMatch + (state << 4) + pos_state;
    {
      LZ_IF_BIT0(pm)
      // Literal.
      unsigned prev = p > 0 ? win[p - 1] : (wrapped ? win[ws - 1] : 0);
      uint16_t* lit = probs + kLiteral +
                      kLiteralCoderSize * ((((unsigned(p) & lp_mask) << 8) + prev) >> (8 - lc));
      unsigned sym;
      if (state < 7) {
        sym = TreeSymbol<8>(lit, range, code, in);
      } else {
        // After a match the byte at rep0 predicts the literal until the first differing bit;
        // `offs` stays 0x100 while bits agree and drops to 0 at the first difference.
        size_t mp = p >= size_t(rep0) + 1 ? p - rep0 - 1 : p + ws - rep0 - 1;
        unsigned match_byte = win[mp];
        unsigned offs = 0x100;
        sym = 1;
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i) {
          match_byte <<= 1;
          unsigned match_bit = match_byte & offs;
          unsigned bit = BitFlat(lit + offs + match_bit + sym, range, code, in);
          sym = (sym << 1) + bit;
          // Keep offs only while the decoded bit equals the match bit.
          offs &= (0u - bit) ^ ~match_bit;
        }
      }
      win[p++] = uint8_t(sym);
      state = kNextAfterLiteral[state];
      continue;
      LZ_ELSE(pm)
      }
    }

    unsigned len;
    {
      uint16_t* pr = probs + kIsRep + state;
      LZ_IF_BIT0(pr)
      // A match with a new distance.
      len = Length(probs + kMatchLen, pos_state, range, code, in);
      state = state < 7 ? 7 : 10;
      unsigned len_state = len < 3 ? len : 3;
      unsigned slot = Tree<6>(probs + kPosSlot + (len_state << 6), range, code, in);
      uint32_t dist;
      if (slot < 4) {
        dist = slot;
      } else {
        unsigned direct = (slot >> 1) - 1;
        dist = (2u | (slot & 1)) << direct;
        if (slot < kEndPosModelIndex) {
          dist += ReverseTree(probs + kSpecPos + kSpecPosStart[slot], direct, range, code, in);
        } else {
          unsigned n = direct - kAlignBits;
          uint32_t extra = 0;
          do {
            range >>= 1;
            code -= range;
            uint32_t mask = 0u - (code >> 31);
            code += range & mask;
            extra = (extra << 1) + (mask + 1);
            if (range < kTop) {
              range <<= 8;
              code = (code << 8) | *in++;
            }
          } while (--n);
          dist += extra << kAlignBits;
          dist += ReverseTree(probs + kAlign, kAlignBits, range, code, in);
          if (dist == 0xFFFFFFFFu) {
            status = Status::kEndMarker;
            break;
          }
        }
      }
      rep3 = rep2;
      rep2 = rep1;
      rep1 = rep0;
      rep0 = dist;
      LZ_ELSE(pr)
      // A repeated distance.
      uint16_t* g0 = probs + kIsRepG0 + state;
      {
        LZ_IF_BIT0(g0)
        uint16_t* lg = probs + kIsRep0Long + (state << 4) + pos_state;
        {
          LZ_IF_BIT0(lg)
          // One byte at rep0.
          if (LZ_UNLIKELY(!wrapped && rep0 >= p)) {
            status = Status::kDataError;
            break;
          }
          size_t src = p >= size_t(rep0) + 1 ? p - rep0 - 1 : p + ws - rep0 - 1;
          win[p] = win[src];
          ++p;
          state = state < 7 ? 9 : 11;
          continue;
          LZ_ELSE(lg)
          }
        }
        LZ_ELSE(g0)
        uint32_t d;
        uint16_t* g1 = probs + kIsRepG1 + state;
        {
          LZ_IF_BIT0(g1)
          d = rep1;
          LZ_ELSE(g1)
          uint16_t* g2 = probs + kIsRepG2 + state;
          {
            LZ_IF_BIT0(g2)
            d = rep2;
            LZ_ELSE(g2)
            d = rep3;
            rep3 = rep2;
            }
          }
          rep2 = rep1;
          }
        }
        rep1 = rep0;
        rep0 = d;
        }
      }
      len = Length(probs + kRepLen, pos_state, range, code, in);
      state = state < 7 ? 8 : 11;
      }
    }

    // Copy the match; the distance must lie within what this dictionary has seen.
    if (LZ_UNLIKELY(wrapped ? rep0 >= ws : rep0 >= p)) {
      status = Status::kDataError;
      break;
    }
    len += kMatchMinLen;
    size_t room = limit - p;
    size_t n = len <= room ? len : room;
    remain_len_ = uint32_t(len - n);
    size_t dist1 = size_t(rep0) + 1;
    if (LZ_LIKELY(p >= dist1)) {
      uint8_t* dst = win + p;
      const uint8_t* src = dst - dist1;
      if (dist1 >= n) {
        CopyApart(dst, src, n);
      } else if (dist1 >= 8) {
        // Overlapping but at least 8 apart: each 8-byte step reads bytes already written.
        size_t i = 0;
        for (; i + 8 <= n; i += 8) std::memcpy(dst + i, src + i, 8);
        for (; i < n; ++i) dst[i] = src[i];
      } else {
        for (size_t i = 0; i < n; ++i) dst[i] = src[i];
      }
      p += n;
    } else {
      size_t src = p + ws - dist1;
      for (size_t i = 0; i < n; ++i) {
        win[p++] = win[src++];
        if (src == ws) src = 0;
      }
    }
  }

  pos = p;
  *in_io = in;
  range_ = range;
  code_ = code;
  state_ = state;
  rep0_ = rep0;
  rep1_ = rep1;
  rep2_ = rep2;
  rep3_ = rep3;
  return status;
}

namespace {

constexpr size_t kInputBytes = 256 * 1024;
// Decoding runs ahead of the reader by at most this much, so the copy-out reads warm memory.
constexpr size_t kDecodeStep = 256 * 1024;

class LzmaStream : public InStream {
 public:
  Result Open(std::unique_ptr<InStream> input, const std::vector<uint8_t>& props,
              uint64_t unpack_size) {
    if (props.size() < 5) return Result::kUnsupported;
    unsigned lc, lp, pb;
    if (!SplitPropertiesByte(props[0], &lc, &lp, &pb)) return Result::kUnsupported;
    uint32_t dict = uint32_t(props[1]) | (uint32_t(props[2]) << 8) | (uint32_t(props[3]) << 16) |
                    (uint32_t(props[4]) << 24);
    unpack_size_ = unpack_size;
    size_t ws = WindowBytes(dict, unpack_size);
    if (ws == 0) return Result::kOutOfMemory;
    if (!core_.Allocate(ws, lc + lp)) return Result::kOutOfMemory;
    core_.SetProperties(lc, lp, pb);
    core_.ResetState();
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
  Result DecodeMore(size_t wanted) {
    if (!started_) {
      if (in_.Available() < 5) {
        Result r = in_.Refill();
        if (r != Result::kOk) return r;
      }
      if (in_.Available() < 5 || !core_.InitRange(in_.cur)) return Result::kDataError;
      in_.cur += 5;
      started_ = true;
    }
    if (core_.pos == core_.window_size) {
      core_.pos = 0;
      out_pos_ = 0;
      core_.full = true;
    }
    uint64_t left = unpack_size_ - decoded_;
    size_t step = std::max(wanted, kDecodeStep);
    size_t room = core_.window_size - core_.pos;
    size_t limit = core_.pos + size_t(std::min<uint64_t>(left, std::min(room, step)));
    while (core_.pos < limit) {
      if (!in_.eof && in_.Available() < kMaxSymbolInput) {
        Result r = in_.Refill();
        if (r != Result::kOk) return r;
      }
      const uint8_t* in_limit = in_.eof ? in_.end : in_.end - kMaxSymbolInput;
      size_t before = core_.pos;
      Core::Status s = core_.Decode(limit, &in_.cur, in_limit);
      decoded_ += core_.pos - before;
      if (in_.cur > in_.end) return Result::kDataError;  // the stream ended inside a symbol
      if (s != Core::Status::kOk) return Result::kDataError;  // includes an early end marker
    }
    return Result::kOk;
  }

  Core core_;
  InputBuffer in_;
  uint64_t unpack_size_ = 0;
  uint64_t decoded_ = 0;
  size_t out_pos_ = 0;
  bool started_ = false;
  Result error_ = Result::kOk;
};

}  // namespace
}  // namespace lzma

std::unique_ptr<InStream> MakeLzmaDecoder(std::unique_ptr<InStream> input,
                                          const std::vector<uint8_t>& props, uint64_t unpack_size,
                                          Result* result) {
  auto s = std::make_unique<lzma::LzmaStream>();
  Result r = s->Open(std::move(input), props, unpack_size);
  if (result) *result = r;
  if (r != Result::kOk) return nullptr;
  return s;
}

}  // namespace sz
