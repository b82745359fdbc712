// Data cipher: the key starts as eight zero bytes and every password byte is XORed into key byte
// (index mod 8); the buffer is then enciphered block by block with DES.
#include "runtime/data_cipher.h"

#include <cstdint>
#include <limits>

#include "runtime/des.h"

namespace {

Des KeyFromPassword(std::string_view password) {
  uint8_t key[8] = {0};
  for (size_t i = 0; i < password.size(); ++i) key[i % 8] ^= static_cast<uint8_t>(password[i]);
  return Des(key);
}

}  // namespace

Bytes EncipherData(std::string_view data, std::string_view password) {
  const size_t n = data.size();
  if (n == 0 || n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 16) return Bytes();
  size_t size = (n + 4 + 7) / 8 * 8;
  Bytes buffer(size, '\0');
  for (int i = 0; i < 4; ++i) buffer[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  buffer.replace(4, n, data.data(), n);
  Des des = KeyFromPassword(password);
  uint8_t* p = reinterpret_cast<uint8_t*>(&buffer[0]);
  for (size_t off = 0; off < size; off += 8) des.EncipherBlock(p + off);
  return buffer;
}

Bytes DecipherData(std::string_view data, std::string_view password) {
  const size_t c = data.size();
  if (c == 0 || c % 8 != 0) return Bytes();
  Bytes buffer(data);
  Des des = KeyFromPassword(password);
  uint8_t* p = reinterpret_cast<uint8_t*>(&buffer[0]);
  for (size_t off = 0; off < c; off += 8) des.DecipherBlock(p + off);
  uint32_t raw = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                 (uint32_t(p[3]) << 24);
  const int64_t n = static_cast<int32_t>(raw);
  const int64_t size = static_cast<int64_t>(c);
  // The length must fit the buffer and account for all but the last block's padding.
  if (n <= 0 || n > size - 4 || size >= n + 12) return Bytes();
  return buffer.substr(4, static_cast<size_t>(n));
}
