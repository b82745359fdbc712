// DES block cipher (FIPS 46-3), one 8-byte block at a time; used by the data cipher of the
// enciphered package files. The parity bits of the key are ignored, as the standard does.
#pragma once

#include <cstdint>

class Des {
 public:
  explicit Des(const uint8_t key[8]);
  void EncipherBlock(uint8_t block[8]) const;
  void DecipherBlock(uint8_t block[8]) const;

 private:
  uint64_t Run(uint64_t block, bool decipher) const;
  uint64_t subkeys_[16];  // 48-bit round keys, right-aligned
};
