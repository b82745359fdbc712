// DES from the tables of FIPS 46-3. Bits are numbered 1..n from the most significant end, as in
// the standard, so the tables read exactly as printed there.
#include "runtime/des.h"

namespace {

const uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

const uint8_t kRoundPermutation[32] = {
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

const uint8_t kKeyChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
    10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
    14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

const uint8_t kKeyChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
    26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
    51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

const uint8_t kKeyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

const uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,
     0,  15, 7,  4, 14, 2,  13, 1,  10, 6,  12, 11, 9,  5,  3, 8,
     4,  1,  14, 8, 13, 6,  2,  11, 15, 12, 9,  7,  3,  10, 5, 0,
     15, 12, 8,  2, 4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6, 13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10,
     3,  13, 4,  7,  15, 2,  8,  14, 12, 0, 1,  10, 6,  9, 11, 5,
     0,  14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,  9,  3, 2,  15,
     13, 8,  10, 1,  3,  15, 4,  2,  11, 6, 7,  12, 0,  5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,
     13, 7,  0,  9,  3, 4,  6,  10, 2,  8,  5,  14, 12, 11, 15, 1,
     13, 6,  4,  9,  8, 15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7,
     1,  10, 13, 0,  6, 9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3, 0,  6,  9,  10, 1,  2, 8, 5,  11, 12, 4,  15,
     13, 8,  11, 5, 6,  15, 0,  3,  4,  7, 2, 12, 1,  10, 14, 9,
     10, 6,  9,  0, 12, 11, 7,  13, 15, 1, 3, 14, 5,  2,  8,  4,
     3,  15, 0,  6, 10, 1,  13, 8,  9,  4, 5, 11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0, 14, 9,
     14, 11, 2,  12, 4,  7,  13, 1,  5,  0,  15, 10, 3,  9, 8,  6,
     4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,  6,  3, 0,  14,
     11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4, 5,  3},
    {12, 1,  10, 15, 9, 2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11,
     10, 15, 4,  2,  7, 12, 9,  5,  6,  1,  13, 14, 0,  11, 3,  8,
     9,  14, 15, 5,  2, 8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,
     4,  3,  2,  12, 9, 5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0, 8,  13, 3,  12, 9, 7,  5,  10, 6, 1,
     13, 0,  11, 7,  4,  9, 1,  10, 14, 3,  5, 12, 2,  15, 8, 6,
     1,  4,  11, 13, 12, 3, 7,  14, 10, 15, 6, 8,  0,  5,  9, 2,
     6,  11, 13, 8,  1,  4, 10, 7,  9,  5,  0, 15, 14, 2,  3, 12},
    {13, 2,  8,  4, 6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,
     1,  15, 13, 8, 10, 3,  7,  4,  12, 5,  6,  11, 0,  14, 9,  2,
     7,  11, 4,  1, 9,  12, 14, 2,  0,  6,  10, 13, 15, 3,  5,  8,
     2,  1,  14, 7, 4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// Output bit i (1-based from the top of `out_bits`) is input bit table[i - 1] of `in_bits`.
uint64_t Permute(uint64_t in, int in_bits, const uint8_t* table, int out_bits) {
  uint64_t out = 0;
  for (int i = 0; i < out_bits; ++i) {
    out = (out << 1) | ((in >> (in_bits - table[i])) & 1);
  }
  return out;
}

uint32_t RotateLeft28(uint32_t half, int n) {
  return ((half << n) | (half >> (28 - n))) & 0x0FFFFFFFu;
}

// S-box outputs already passed through the round permutation P, per box and six-bit input.
struct SpTables {
  uint32_t sp[8][64];
  SpTables() {
    for (int box = 0; box < 8; ++box) {
      for (unsigned six = 0; six < 64; ++six) {
        // Outer bits choose the row, the middle four the column.
        unsigned row = ((six & 0x20) >> 4) | (six & 1);
        unsigned col = (six >> 1) & 0xF;
        uint64_t placed = static_cast<uint64_t>(kSBoxes[box][row * 16 + col]) << (28 - 4 * box);
        sp[box][six] = static_cast<uint32_t>(Permute(placed, 32, kRoundPermutation, 32));
      }
    }
  }
};

// A 64-bit permutation as eight byte-indexed tables: the output is the OR of one entry per byte.
struct ByteTables {
  uint64_t part[8][256];
  // `source[i]` is the 1-based input bit that becomes output bit i + 1.
  explicit ByteTables(const uint8_t* source) {
    for (int byte = 0; byte < 8; ++byte) {
      for (unsigned v = 0; v < 256; ++v) {
        uint64_t in = static_cast<uint64_t>(v) << (56 - 8 * byte);
        part[byte][v] = Permute(in, 64, source, 64);
      }
    }
  }
  uint64_t Apply(uint64_t x) const {
    uint64_t out = 0;
    for (int byte = 0; byte < 8; ++byte) out |= part[byte][(x >> (56 - 8 * byte)) & 0xFF];
    return out;
  }
};

// The final permutation undoes the initial one.
const uint8_t* FinalPermutation() {
  static uint8_t table[64];
  static const bool ready = [] {
    for (int i = 0; i < 64; ++i) table[kInitialPermutation[i] - 1] = static_cast<uint8_t>(i + 1);
    return true;
  }();
  (void)ready;
  return table;
}

const ByteTables& Initial() {
  static const ByteTables tables(kInitialPermutation);
  return tables;
}

const ByteTables& Final() {
  static const ByteTables tables(FinalPermutation());
  return tables;
}

const SpTables& Sp() {
  static const SpTables tables;
  return tables;
}

uint32_t RoundFunction(uint32_t right, uint64_t subkey, const SpTables& t) {
  // The expansion E takes six overlapping bits per box, wrapping around the 32-bit half:
  // r32 r1 .. r32 r1 as a 34-bit value gives box i at shift 28 - 4i.
  uint64_t wrapped = (static_cast<uint64_t>(right & 1) << 33) | (static_cast<uint64_t>(right) << 1) |
                     (right >> 31);
  uint32_t out = 0;
  for (int box = 0; box < 8; ++box) {
    unsigned six = static_cast<unsigned>(((wrapped >> (28 - 4 * box)) ^ (subkey >> (42 - 6 * box))) & 0x3F);
    out |= t.sp[box][six];
  }
  return out;
}

uint64_t Load(const uint8_t b[8]) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | b[i];
  return v;
}

void Store(uint64_t v, uint8_t b[8]) {
  for (int i = 7; i >= 0; --i) {
    b[i] = static_cast<uint8_t>(v);
    v >>= 8;
  }
}

}  // namespace

Des::Des(const uint8_t key[8]) {
  uint64_t chosen = Permute(Load(key), 64, kKeyChoice1, 56);
  uint32_t c = static_cast<uint32_t>(chosen >> 28) & 0x0FFFFFFFu;
  uint32_t d = static_cast<uint32_t>(chosen) & 0x0FFFFFFFu;
  for (int round = 0; round < 16; ++round) {
    c = RotateLeft28(c, kKeyShifts[round]);
    d = RotateLeft28(d, kKeyShifts[round]);
    uint64_t cd = (static_cast<uint64_t>(c) << 28) | d;
    subkeys_[round] = Permute(cd, 56, kKeyChoice2, 48);
  }
}

uint64_t Des::Run(uint64_t block, bool decipher) const {
  uint64_t permuted = Initial().Apply(block);
  uint32_t left = static_cast<uint32_t>(permuted >> 32);
  uint32_t right = static_cast<uint32_t>(permuted);
  const SpTables& sp = Sp();
  for (int round = 0; round < 16; ++round) {
    uint64_t k = subkeys_[decipher ? 15 - round : round];
    uint32_t next = left ^ RoundFunction(right, k, sp);
    left = right;
    right = next;
  }
  // The halves are swapped once more before the final permutation.
  return Final().Apply((static_cast<uint64_t>(right) << 32) | left);
}

void Des::EncipherBlock(uint8_t block[8]) const { Store(Run(Load(block), false), block); }

void Des::DecipherBlock(uint8_t block[8]) const { Store(Run(Load(block), true), block); }
