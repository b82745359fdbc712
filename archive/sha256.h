// SHA-256 (FIPS 180-4), incremental; used for the key derivation of encrypted archives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sz {

class Sha256 {
 public:
  Sha256() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  void Final(uint8_t digest[32]);

 private:
  void Compress(const uint8_t* block);
  uint32_t h_[8];
  uint64_t length_ = 0;  // bytes hashed so far
  uint8_t block_[64];
  size_t fill_ = 0;
};

// Whether the processor's SHA instructions may be used where it has them (they are by default);
// tests switch them off to check the portable rounds against the same answers.
void AllowSha256Instructions(bool allowed);

}  // namespace sz
