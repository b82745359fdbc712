// AES-256 block cipher (FIPS-197), table-driven, with CBC decryption of whole blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sz {

class Aes256 {
 public:
  void SetKey(const uint8_t key[32]);
  void EncryptBlock(const uint8_t in[16], uint8_t out[16]) const;
  void DecryptBlock(const uint8_t in[16], uint8_t out[16]) const;
  // Decrypts `blocks` 16-byte blocks in place in CBC mode; `iv` is updated to the last cipher block.
  void DecryptCbc(uint8_t* data, size_t blocks, uint8_t iv[16]) const;
  // Encrypts in place in CBC mode (for building test data).
  void EncryptCbc(uint8_t* data, size_t blocks, uint8_t iv[16]) const;
  // The processor's AES instructions are used where present; tests switch them off to check the
  // portable code as well.
  void UseInstructions(bool on) { use_instructions_ = on; }

 private:
  static constexpr int kRounds = 14;
  uint32_t enc_[4 * (kRounds + 1)];
  uint32_t dec_[4 * (kRounds + 1)];  // round keys of the equivalent inverse cipher
  uint8_t dec_bytes_[16 * (kRounds + 1)];  // the same as bytes, for the AES instructions
  bool use_instructions_ = true;
};

}  // namespace sz
