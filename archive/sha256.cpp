// SHA-256 after FIPS 180-4: 64-byte blocks, big-endian words, the length in bits appended.
#include "archive/sha256.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#include <immintrin.h>
#define QEV_SHA_NI 1
#endif

namespace sz {
namespace {

const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

bool instructions_allowed = true;

#ifdef QEV_SHA_NI
bool HaveShaInstructions() {
  static const bool have = [] {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("ssse3") || !__builtin_cpu_supports("sse4.1")) return false;
    unsigned a = 0, b = 0, c = 0, d = 0;
    // Leaf 7, EBX bit 29: the SHA extensions.
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && ((b >> 29) & 1) != 0;
  }();
  return have;
}

// One block with the SHA instructions. They keep the state as the word pairs (A, B, E, F) and
// (C, D, G, H) and take two rounds per instruction; the message schedule takes four words at a
// time. A key derivation of 2^19 rounds (what 7-Zip writes) costs a fifth of the portable time.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithInstructions(uint32_t h[8],
                                                                          const uint8_t* block) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0xB1);
  __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4)), 0x1B);
  __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);
  __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xF0);
  const __m128i abef_before = abef, cdgh_before = cdgh;
  __m128i w[4];
  for (int i = 0; i < 16; ++i) {
    __m128i& words = w[i & 3];
    if (i < 4) {
      words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)),
                               byte_swap);
    } else {
      // w[t-16] + s0(w[t-15]), + w[t-7], then + s1(w[t-2]) for the four words of this group.
      __m128i next = _mm_sha256msg1_epu32(w[i & 3], w[(i + 1) & 3]);
      next = _mm_add_epi32(next, _mm_alignr_epi8(w[(i + 3) & 3], w[(i + 2) & 3], 4));
      words = _mm_sha256msg2_epu32(next, w[(i + 3) & 3]);
    }
    __m128i message = _mm_add_epi32(
        words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * i)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
    message = _mm_shuffle_epi32(message, 0x0E);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
  }
  abef = _mm_add_epi32(abef, abef_before);
  cdgh = _mm_add_epi32(cdgh, cdgh_before);
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

void AllowSha256Instructions(bool allowed) { instructions_allowed = allowed; }

void Sha256::Reset() {
  static const uint32_t kInit[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::memcpy(h_, kInit, sizeof(h_));
  length_ = 0;
  fill_ = 0;
}

void Sha256::Compress(const uint8_t* block) {
#ifdef QEV_SHA_NI
  if (instructions_allowed && HaveShaInstructions()) {
    CompressWithInstructions(h_, block);
    return;
  }
#endif
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
           uint32_t(block[4 * i + 2]) << 8 | block[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                        kRoundConstants[i] + w[i];
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
  h_[5] += f;
  h_[6] += g;
  h_[7] += h;
}

void Sha256::Update(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  length_ += size;
  if (fill_ > 0) {
    size_t n = 64 - fill_;
    if (n > size) n = size;
    std::memcpy(block_ + fill_, p, n);
    fill_ += n;
    p += n;
    size -= n;
    if (fill_ < 64) return;
    Compress(block_);
    fill_ = 0;
  }
  for (; size >= 64; p += 64, size -= 64) Compress(p);
  std::memcpy(block_, p, size);
  fill_ = size;
}

void Sha256::Final(uint8_t digest[32]) {
  const uint64_t bits = length_ * 8;
  block_[fill_++] = 0x80;
  if (fill_ > 56) {
    std::memset(block_ + fill_, 0, 64 - fill_);
    Compress(block_);
    fill_ = 0;
  }
  std::memset(block_ + fill_, 0, 56 - fill_);
  for (int i = 0; i < 8; ++i) block_[56 + i] = uint8_t(bits >> (56 - 8 * i));
  Compress(block_);
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = uint8_t(h_[i] >> 24);
    digest[4 * i + 1] = uint8_t(h_[i] >> 16);
    digest[4 * i + 2] = uint8_t(h_[i] >> 8);
    digest[4 * i + 3] = uint8_t(h_[i]);
  }
  Reset();
}

}  // namespace sz
