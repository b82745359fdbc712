// MD5 against the test suite of RFC 1321 and across the padding boundaries.
#include "runtime/md5.h"

#include <gtest/gtest.h>

namespace {

TEST(Md5, ReferenceSuite) {
  struct Case {
    std::string input, digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // The package password comes from the three digits of the key resource.
      {"486", "7d04bbbe5494ae9d2f5a76aa1c00fa2f"},
  };
  for (const Case& c : cases) EXPECT_EQ(Md5Hex(c.input), c.digest) << c.input;
}

TEST(Md5, PaddingBoundaries) {
  // Lengths around 55/56/64 bytes take one or two padding blocks.
  struct Case {
    size_t length;
    const char* digest;
  } cases[] = {
      {55, "ef1772b6dff9a122358552954ad0df65"},
      {56, "3b0c8ac703f828b04c6c197006d17218"},
      {63, "b06521f39153d618550606be297466d5"},
      {64, "014842d480b571495a4a0363793f7367"},
      {65, "c743a45e0d2e6a95cb859adae0248435"},
  };
  for (const Case& c : cases) EXPECT_EQ(Md5Hex(std::string(c.length, 'a')), c.digest) << c.length;
}

}  // namespace
