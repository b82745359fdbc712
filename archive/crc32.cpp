// CRC-32 of the 7z format (reflected polynomial 0xEDB88320). Long runs are folded 64 bytes per step
// with carry-less multiplication where the processor has it; the rest goes eight bytes per step
// with eight tables, so that checking every decoded byte costs little next to decoding it.
#include <cstring>

#include "archive/archive_reader.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <emmintrin.h>
#include <wmmintrin.h>
#define SZ_CRC_FOLDING 1
#endif

namespace sz {
namespace {

struct CrcTables {
  uint32_t t[8][256];
  CrcTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
      t[0][i] = c;
    }
    // t[k][i] is the CRC of byte i followed by k zero bytes.
    for (int k = 1; k < 8; ++k)
      for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};

const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t TableUpdate(uint32_t crc, const uint8_t* p, size_t size) {
  const auto& t = Tables().t;
  uint32_t c = ~crc;
  while (size >= 8) {
    uint32_t lo = Load32(p) ^ c;
    uint32_t hi = Load32(p + 4);
    c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
        t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    p += 8;
    size -= 8;
  }
  while (size--) c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
  return ~c;
}

#ifdef SZ_CRC_FOLDING
// A 16-byte block read as little-endian bits is a polynomial of degree 127 whose first bit is the
// highest term. Moving it T bits further down the message multiplies it by x^T modulo the CRC
// polynomial: its first half by x^(T+64), its second by x^T. Each constant is x * (x^(n-1) mod P)
// in the same reflected order (bit 64 - e for x^e), so that the 127-bit carry-less product lands
// in the block's own bit order without a shift.
constexpr uint64_t kFold128Low = 0x65673B4600000000ull;   // n = 192
constexpr uint64_t kFold128High = 0x9BA54C6F00000000ull;  // n = 128
constexpr uint64_t kFold256Low = 0x9570D49500000000ull;   // n = 320
constexpr uint64_t kFold256High = 0x01B5FD1D00000000ull;  // n = 256
constexpr uint64_t kFold384Low = 0x69CCFC0D00000000ull;   // n = 448
constexpr uint64_t kFold384High = 0x2A28386200000000ull;  // n = 384
constexpr uint64_t kFold512Low = 0x653D982200000000ull;   // n = 576
constexpr uint64_t kFold512High = 0xCAD38E8F00000000ull;  // n = 512

// One block moved on by the distance of the constant pair k. A macro: a function taking or returning
// a vector would change the calling convention of the 32-bit build, which has no SSE by default.
#define SZ_CRC_FOLD(v, k) \
  _mm_xor_si128(_mm_clmulepi64_si128((v), (k), 0x00), _mm_clmulepi64_si128((v), (k), 0x11))
#define SZ_CRC_LOAD(q) _mm_loadu_si128(reinterpret_cast<const __m128i*>(q))

// Folds the whole 16-byte blocks of p[0, size), size >= 64, into one block equivalent to them
// under a zero starting state (the running CRC is added into the first four bytes), and returns the
// CRC of that block; `*done` is how many bytes were taken.
__attribute__((target("sse2,pclmul"))) uint32_t FoldedUpdate(uint32_t crc, const uint8_t* p,
                                                             size_t size, size_t* done) {
  const __m128i k512 = _mm_set_epi64x(int64_t(kFold512High), int64_t(kFold512Low));
  const __m128i k384 = _mm_set_epi64x(int64_t(kFold384High), int64_t(kFold384Low));
  const __m128i k256 = _mm_set_epi64x(int64_t(kFold256High), int64_t(kFold256Low));
  const __m128i k128 = _mm_set_epi64x(int64_t(kFold128High), int64_t(kFold128Low));
  __m128i a = _mm_xor_si128(SZ_CRC_LOAD(p), _mm_cvtsi32_si128(int(~crc)));
  __m128i b = SZ_CRC_LOAD(p + 16), c = SZ_CRC_LOAD(p + 32), d = SZ_CRC_LOAD(p + 48);
  size_t i = 64;
  for (; i + 64 <= size; i += 64) {
    a = _mm_xor_si128(SZ_CRC_FOLD(a, k512), SZ_CRC_LOAD(p + i));
    b = _mm_xor_si128(SZ_CRC_FOLD(b, k512), SZ_CRC_LOAD(p + i + 16));
    c = _mm_xor_si128(SZ_CRC_FOLD(c, k512), SZ_CRC_LOAD(p + i + 32));
    d = _mm_xor_si128(SZ_CRC_FOLD(d, k512), SZ_CRC_LOAD(p + i + 48));
  }
  __m128i v = _mm_xor_si128(_mm_xor_si128(SZ_CRC_FOLD(a, k384), SZ_CRC_FOLD(b, k256)),
                            _mm_xor_si128(SZ_CRC_FOLD(c, k128), d));
  for (; i + 16 <= size; i += 16) v = _mm_xor_si128(SZ_CRC_FOLD(v, k128), SZ_CRC_LOAD(p + i));
  alignas(16) uint8_t block[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(block), v);
  *done = i;
  return TableUpdate(0xFFFFFFFFu, block, 16);
}

bool HasCarryLessMultiply() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  }();
  return has;
}
#endif

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
#ifdef SZ_CRC_FOLDING
  if (size >= 256 && HasCarryLessMultiply()) {
    size_t done = 0;
    crc = FoldedUpdate(crc, p, size, &done);
    p += done;
    size -= done;
  }
#endif
  return TableUpdate(crc, p, size);
}

}  // namespace sz
