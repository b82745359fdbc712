// AES-256. The S-box and the round tables are computed once from the field arithmetic instead of
// being written out; a round is then four table lookups per column.
#include "archive/aes.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEV_AES_NI 1
#endif

namespace sz {
namespace {

inline uint32_t Rotr8(uint32_t x) { return (x >> 8) | (x << 24); }

inline uint32_t LoadBe(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void StoreBe(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

struct Tables {
  uint8_t sbox[256];
  uint8_t inv_sbox[256];
  uint32_t te[4][256];
  uint32_t td[4][256];

  Tables() {
    // Powers of the generator 3 give logarithms, hence inverses, in GF(2^8) mod x^8+x^4+x^3+x+1.
    uint8_t exp[256], log[256] = {};
    uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
      exp[i] = x;
      log[x] = uint8_t(i);
      x = uint8_t(x ^ Times2(x));
    }
    exp[255] = exp[0];
    for (int i = 0; i < 256; ++i) {
      uint8_t inv = i == 0 ? 0 : exp[(255 - log[i]) % 255];
      uint8_t s = inv;
      for (int r = 1; r <= 4; ++r) s ^= uint8_t((inv << r) | (inv >> (8 - r)));
      s ^= 0x63;
      sbox[i] = s;
      inv_sbox[s] = uint8_t(i);
    }
    for (int i = 0; i < 256; ++i) {
      const uint8_t s = sbox[i];
      const uint32_t e = uint32_t(Mul(s, 2)) << 24 | uint32_t(s) << 16 | uint32_t(s) << 8 | Mul(s, 3);
      const uint8_t v = inv_sbox[i];
      const uint32_t d = uint32_t(Mul(v, 14)) << 24 | uint32_t(Mul(v, 9)) << 16 |
                         uint32_t(Mul(v, 13)) << 8 | Mul(v, 11);
      te[0][i] = e;
      td[0][i] = d;
      for (int k = 1; k < 4; ++k) {
        te[k][i] = Rotr8(te[k - 1][i]);
        td[k][i] = Rotr8(td[k - 1][i]);
      }
    }
  }

  static uint8_t Times2(uint8_t a) { return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1B : 0)); }
  static uint8_t Mul(uint8_t a, uint8_t b) {
    uint8_t r = 0;
    for (; b; b >>= 1, a = Times2(a)) {
      if (b & 1) r ^= a;
    }
    return r;
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

inline uint32_t SubWord(const Tables& t, uint32_t w) {
  return uint32_t(t.sbox[w >> 24]) << 24 | uint32_t(t.sbox[(w >> 16) & 0xFF]) << 16 |
         uint32_t(t.sbox[(w >> 8) & 0xFF]) << 8 | t.sbox[w & 0xFF];
}

#ifdef QEV_AES_NI
bool HaveAesInstructions() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse2");
  }();
  return have;
}

// CBC decryption with the AES instructions, four blocks at a time: the blocks of CBC decryption
// do not depend on each other, so the instruction latencies overlap.
__attribute__((target("aes,sse2"))) void DecryptCbcNi(const uint8_t* round_keys, uint8_t* data,
                                                      size_t blocks, uint8_t iv[16]) {
  __m128i k[15];
  for (int i = 0; i < 15; ++i) k[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(round_keys + 16 * i));
  __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(iv));
  __m128i* p = reinterpret_cast<__m128i*>(data);
  for (; blocks >= 4; blocks -= 4, p += 4) {
    const __m128i c0 = _mm_loadu_si128(p), c1 = _mm_loadu_si128(p + 1);
    const __m128i c2 = _mm_loadu_si128(p + 2), c3 = _mm_loadu_si128(p + 3);
    __m128i x0 = _mm_xor_si128(c0, k[0]), x1 = _mm_xor_si128(c1, k[0]);
    __m128i x2 = _mm_xor_si128(c2, k[0]), x3 = _mm_xor_si128(c3, k[0]);
    for (int r = 1; r < 14; ++r) {
      x0 = _mm_aesdec_si128(x0, k[r]);
      x1 = _mm_aesdec_si128(x1, k[r]);
      x2 = _mm_aesdec_si128(x2, k[r]);
      x3 = _mm_aesdec_si128(x3, k[r]);
    }
    x0 = _mm_xor_si128(_mm_aesdeclast_si128(x0, k[14]), prev);
    x1 = _mm_xor_si128(_mm_aesdeclast_si128(x1, k[14]), c0);
    x2 = _mm_xor_si128(_mm_aesdeclast_si128(x2, k[14]), c1);
    x3 = _mm_xor_si128(_mm_aesdeclast_si128(x3, k[14]), c2);
    _mm_storeu_si128(p, x0);
    _mm_storeu_si128(p + 1, x1);
    _mm_storeu_si128(p + 2, x2);
    _mm_storeu_si128(p + 3, x3);
    prev = c3;
  }
  for (; blocks > 0; --blocks, ++p) {
    const __m128i c = _mm_loadu_si128(p);
    __m128i x = _mm_xor_si128(c, k[0]);
    for (int r = 1; r < 14; ++r) x = _mm_aesdec_si128(x, k[r]);
    _mm_storeu_si128(p, _mm_xor_si128(_mm_aesdeclast_si128(x, k[14]), prev));
    prev = c;
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(iv), prev);
}
#endif

}  // namespace

void Aes256::SetKey(const uint8_t key[32]) {
  const Tables& t = T();
  const int words = 4 * (kRounds + 1);
  for (int i = 0; i < 8; ++i) enc_[i] = LoadBe(key + 4 * i);
  uint8_t rcon = 1;
  for (int i = 8; i < words; ++i) {
    uint32_t w = enc_[i - 1];
    if (i % 8 == 0) {
      w = SubWord(t, (w << 8) | (w >> 24)) ^ (uint32_t(rcon) << 24);
      rcon = Tables::Times2(rcon);
    } else if (i % 8 == 4) {
      w = SubWord(t, w);
    }
    enc_[i] = enc_[i - 8] ^ w;
  }
  // Decryption keys: the rounds in reverse order, the inner ones through InvMixColumns (applying
  // the S-box first cancels the inverse S-box built into the decryption tables).
  for (int r = 0; r <= kRounds; ++r) {
    for (int c = 0; c < 4; ++c) {
      uint32_t w = enc_[4 * (kRounds - r) + c];
      if (r > 0 && r < kRounds) {
        w = t.td[0][t.sbox[w >> 24]] ^ t.td[1][t.sbox[(w >> 16) & 0xFF]] ^
            t.td[2][t.sbox[(w >> 8) & 0xFF]] ^ t.td[3][t.sbox[w & 0xFF]];
      }
      dec_[4 * r + c] = w;
      StoreBe(dec_bytes_ + 16 * r + 4 * c, w);
    }
  }
}

void Aes256::EncryptBlock(const uint8_t in[16], uint8_t out[16]) const {
  const Tables& t = T();
  const uint32_t* k = enc_;
  uint32_t s0 = LoadBe(in) ^ k[0], s1 = LoadBe(in + 4) ^ k[1];
  uint32_t s2 = LoadBe(in + 8) ^ k[2], s3 = LoadBe(in + 12) ^ k[3];
  for (int r = 1; r < kRounds; ++r) {
    k += 4;
    const uint32_t a0 = t.te[0][s0 >> 24] ^ t.te[1][(s1 >> 16) & 0xFF] ^ t.te[2][(s2 >> 8) & 0xFF] ^ t.te[3][s3 & 0xFF] ^ k[0];
    const uint32_t a1 = t.te[0][s1 >> 24] ^ t.te[1][(s2 >> 16) & 0xFF] ^ t.te[2][(s3 >> 8) & 0xFF] ^ t.te[3][s0 & 0xFF] ^ k[1];
    const uint32_t a2 = t.te[0][s2 >> 24] ^ t.te[1][(s3 >> 16) & 0xFF] ^ t.te[2][(s0 >> 8) & 0xFF] ^ t.te[3][s1 & 0xFF] ^ k[2];
    const uint32_t a3 = t.te[0][s3 >> 24] ^ t.te[1][(s0 >> 16) & 0xFF] ^ t.te[2][(s1 >> 8) & 0xFF] ^ t.te[3][s2 & 0xFF] ^ k[3];
    s0 = a0;
    s1 = a1;
    s2 = a2;
    s3 = a3;
  }
  k += 4;
  const uint8_t* sb = t.sbox;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t key) {
    return (uint32_t(sb[a >> 24]) << 24 | uint32_t(sb[(b >> 16) & 0xFF]) << 16 |
            uint32_t(sb[(c >> 8) & 0xFF]) << 8 | sb[d & 0xFF]) ^ key;
  };
  StoreBe(out, last(s0, s1, s2, s3, k[0]));
  StoreBe(out + 4, last(s1, s2, s3, s0, k[1]));
  StoreBe(out + 8, last(s2, s3, s0, s1, k[2]));
  StoreBe(out + 12, last(s3, s0, s1, s2, k[3]));
}

void Aes256::DecryptBlock(const uint8_t in[16], uint8_t out[16]) const {
  const Tables& t = T();
  const uint32_t* k = dec_;
  uint32_t s0 = LoadBe(in) ^ k[0], s1 = LoadBe(in + 4) ^ k[1];
  uint32_t s2 = LoadBe(in + 8) ^ k[2], s3 = LoadBe(in + 12) ^ k[3];
  for (int r = 1; r < kRounds; ++r) {
    k += 4;
    const uint32_t a0 = t.td[0][s0 >> 24] ^ t.td[1][(s3 >> 16) & 0xFF] ^ t.td[2][(s2 >> 8) & 0xFF] ^ t.td[3][s1 & 0xFF] ^ k[0];
    const uint32_t a1 = t.td[0][s1 >> 24] ^ t.td[1][(s0 >> 16) & 0xFF] ^ t.td[2][(s3 >> 8) & 0xFF] ^ t.td[3][s2 & 0xFF] ^ k[1];
    const uint32_t a2 = t.td[0][s2 >> 24] ^ t.td[1][(s1 >> 16) & 0xFF] ^ t.td[2][(s0 >> 8) & 0xFF] ^ t.td[3][s3 & 0xFF] ^ k[2];
    const uint32_t a3 = t.td[0][s3 >> 24] ^ t.td[1][(s2 >> 16) & 0xFF] ^ t.td[2][(s1 >> 8) & 0xFF] ^ t.td[3][s0 & 0xFF] ^ k[3];
    s0 = a0;
    s1 = a1;
    s2 = a2;
    s3 = a3;
  }
  k += 4;
  const uint8_t* ib = t.inv_sbox;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t key) {
    return (uint32_t(ib[a >> 24]) << 24 | uint32_t(ib[(b >> 16) & 0xFF]) << 16 |
            uint32_t(ib[(c >> 8) & 0xFF]) << 8 | ib[d & 0xFF]) ^ key;
  };
  StoreBe(out, last(s0, s3, s2, s1, k[0]));
  StoreBe(out + 4, last(s1, s0, s3, s2, k[1]));
  StoreBe(out + 8, last(s2, s1, s0, s3, k[2]));
  StoreBe(out + 12, last(s3, s2, s1, s0, k[3]));
}

void Aes256::DecryptCbc(uint8_t* data, size_t blocks, uint8_t iv[16]) const {
#ifdef QEV_AES_NI
  if (use_instructions_ && HaveAesInstructions()) {
    DecryptCbcNi(dec_bytes_, data, blocks, iv);
    return;
  }
#endif
  uint8_t cipher[16], plain[16];
  for (size_t b = 0; b < blocks; ++b, data += 16) {
    std::memcpy(cipher, data, 16);
    DecryptBlock(cipher, plain);
    for (int i = 0; i < 16; ++i) data[i] = uint8_t(plain[i] ^ iv[i]);
    std::memcpy(iv, cipher, 16);
  }
}

void Aes256::EncryptCbc(uint8_t* data, size_t blocks, uint8_t iv[16]) const {
  for (size_t b = 0; b < blocks; ++b, data += 16) {
    for (int i = 0; i < 16; ++i) data[i] ^= iv[i];
    EncryptBlock(data, data);
    std::memcpy(iv, data, 16);
  }
}

}  // namespace sz
