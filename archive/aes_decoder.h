// The 7zAES decoder: AES-256-CBC with a key derived from the password by iterated SHA-256.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/stream.h"

namespace sz {

struct AesParams {
  unsigned cycles_power = 0;  // the key is hashed 2^cycles_power times; 0x3F: no hashing
  std::vector<uint8_t> salt;  // up to 16 bytes
  uint8_t iv[16] = {};        // zero-padded
};

// Parses the coder properties. kUnsupported for a malformed record or too many hash cycles.
Result ParseAesProperties(const std::vector<uint8_t>& props, AesParams* params);

// The 32-byte key for `password_utf16le` under `params`.
void DeriveAesKey(const AesParams& params, const std::string& password_utf16le, uint8_t key[32]);

// A decoder over the encrypted `input`. The output is the decrypted data, at most `unpack_size`
// bytes (the encrypted size is rounded up to whole blocks). kWrongPassword when no password was
// given; a wrong password only shows as a data or CRC error further on.
std::unique_ptr<InStream> MakeAesDecoder(std::unique_ptr<InStream> input,
                                         const std::vector<uint8_t>& props,
                                         const CoderContext& context, Result* result,
                                         uint64_t unpack_size = UINT64_MAX);

}  // namespace sz
