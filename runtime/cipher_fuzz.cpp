// Fuzz target: deciphering arbitrary buffers (first byte picks the password length) must never
// read out of bounds, and what deciphers must encipher back to the same buffer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/data_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t password_size = data[0] % 16;
  if (password_size > size - 1) password_size = size - 1;
  std::string_view password(reinterpret_cast<const char*>(data + 1), password_size);
  std::string_view buffer(reinterpret_cast<const char*>(data + 1 + password_size),
                          size - 1 - password_size);
  Bytes plain = DecipherData(buffer, password);
  if (!plain.empty()) {
    Bytes again = DecipherData(EncipherData(plain, password), password);
    if (again != plain) std::abort();
  }
  return 0;
}
