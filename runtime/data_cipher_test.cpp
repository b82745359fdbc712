// DES known-answer vectors and the data cipher's buffer rules, including hostile buffers.
#include "runtime/data_cipher.h"

#include <gtest/gtest.h>

#include "runtime/des.h"

namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

TEST(Des, KnownAnswers) {
  struct Case {
    const char *key, *plain, *cipher;
  } cases[] = {
      {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
      {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
      {"0000000000000000", "0000000000000000", "8ca64de9c1b123a7"},
      {"ffffffffffffffff", "ffffffffffffffff", "7359b2163e4edc58"},
      {"3000000000000000", "1000000000000001", "958e6e627a05557b"},
      {"1111111111111111", "1111111111111111", "f40379ab9e0ec533"},
      {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
      // Parity bits carry no meaning: this key differs from the one above only in them.
      {"0000000000000000", "8000000000000000", "95f8a5e5dd31d900"},
  };
  for (const Case& c : cases) {
    std::string key = FromHex(c.key);
    Des des(reinterpret_cast<const uint8_t*>(key.data()));
    std::string block = FromHex(c.plain);
    uint8_t* b = reinterpret_cast<uint8_t*>(&block[0]);
    des.EncipherBlock(b);
    EXPECT_EQ(HexText(block), c.cipher) << c.key;
    des.DecipherBlock(b);
    EXPECT_EQ(HexText(block), c.plain) << c.key;
  }
}

TEST(DataCipher, MatchesReferenceBuffers) {
  // Buffers made with an independent DES implementation following the same layout.
  struct Case {
    std::string data, password, enciphered;
  } cases[] = {
      {"hello", "qxp", "d3708aad1b107033e29434bf803cedcf"},
      {"[\xB1\xEA\xCC\xE2]\r\n\xC3\xFB\xB3\xC6=\xB0\xB2\xD7\xB0\r\n", "qxp",
       "67b44dbf4c8c88449935775948aafd632525a0459373b815"},
      {std::string(20, 'x'), "\xC3\xDC\xC2\xEB\xC3\xDC\xC2\xEB\xC3\xDC\xC2\xEB",
       "a1ba3e2bc6d95abeeb3a3cfc4f0bb5c1eb3a3cfc4f0bb5c1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HexText(EncipherData(c.data, c.password)), c.enciphered);
    EXPECT_EQ(DecipherData(FromHex(c.enciphered), c.password), c.data);
  }
}

TEST(DataCipher, RoundTripSizes) {
  for (size_t n = 1; n <= 40; ++n) {
    std::string data(n, '\0');
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i * 37 + n);
    Bytes enc = EncipherData(data, "pw");
    EXPECT_EQ(enc.size(), (n + 4 + 7) / 8 * 8);
    EXPECT_EQ(DecipherData(enc, "pw"), data) << n;
  }
  EXPECT_EQ(EncipherData("", "pw"), "");
}

TEST(DataCipher, RefusesMalformedBuffers) {
  Des des(reinterpret_cast<const uint8_t*>("\0\0\0\0\0\0\0\0"));
  // An enciphered buffer whose deciphered first block holds the given length field.
  auto with_length = [&](int32_t n, size_t size) {
    std::string buffer(size, 'z');
    uint32_t u = static_cast<uint32_t>(n);
    for (int i = 0; i < 4; ++i) buffer[i] = static_cast<char>(u >> (8 * i));
    for (size_t off = 0; off < size; off += 8) {
      des.EncipherBlock(reinterpret_cast<uint8_t*>(&buffer[off]));
    }
    return buffer;
  };
  struct Case {
    int32_t n;
    size_t size;
    size_t want;  // bytes returned
  } cases[] = {
      {4, 8, 4},            // fills the block exactly
      {5, 16, 5},
      {12, 16, 12},
      {13, 16, 0},          // longer than the buffer holds
      {4, 16, 0},           // a whole block of padding too many
      {0, 8, 0},
      {-1, 8, 0},
      {INT32_MIN, 16, 0},
      {INT32_MAX, 16, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecipherData(with_length(c.n, c.size), "").size(), c.want) << c.n << "/" << c.size;
  }
  EXPECT_EQ(DecipherData("", "pw"), "");
  EXPECT_EQ(DecipherData("1234567", "pw"), "");
  EXPECT_EQ(DecipherData(EncipherData("data", "right"), "wrong"), "");
}

}  // namespace
