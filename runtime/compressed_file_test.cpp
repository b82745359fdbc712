// Tests of the compressed package-file form: round trip, the 2 x L bound, and broken input.
#include "runtime/compressed_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

// Header with the given length field followed by a zlib stream of `content`.
Bytes Make(uint32_t length, const std::string& content, int level = 6) {
  uLongf size = compressBound(content.size());
  std::string stream(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&stream[0]), &size,
            reinterpret_cast<const Bytef*>(content.data()), content.size(), level);
  stream.resize(size);
  Bytes out("\x0D\x0F\x3E\x03", 4);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(length >> (8 * i)));
  return out + stream;
}

TEST(CompressedFile, RoundTrip) {
  std::string db;
  for (int i = 0; i < 5000; ++i) db += "\xD7\xA2\xB2\xE1\xB1\xED" "\x01value" + std::to_string(i);
  Bytes packed = DeflateCompressedFile(db);
  ASSERT_TRUE(IsCompressedFile(packed));
  EXPECT_LT(packed.size(), db.size());
  EXPECT_EQ(InflateCompressedFile(packed), db);
  Bytes empty = DeflateCompressedFile("");
  Bytes out = "stale";
  EXPECT_TRUE(InflateCompressedFile(empty, out));
  EXPECT_EQ(out, "");
}

TEST(CompressedFile, LengthBoundAndBrokenInput) {
  const std::string content(1000, 'k');
  Bytes good = Make(1000, content);
  struct Case {
    const char* what;
    Bytes input;
    bool ok;
  } cases[] = {
      {"exact length", good, true},
      {"content up to twice the length", Make(500, content), true},
      {"content beyond twice the length", Make(499, content), false},
      {"length zero with content", Make(0, content), false},
      {"hostile length", Make(0xFFFFFFFFu, content), true},
      {"plain file", Bytes("DLLname....."), false},
      {"header only", good.substr(0, 8), false},
      {"short", good.substr(0, 7), false},
      {"truncated stream", good.substr(0, good.size() - 5), false},
      {"corrupt stream", good.substr(0, 10) + "\xFF\xFF\xFF" + good.substr(13), false},
      {"trailing bytes after the stream", good + "junk", true},
  };
  for (const Case& c : cases) {
    Bytes out = "stale";
    EXPECT_EQ(InflateCompressedFile(c.input, out), c.ok) << c.what;
    EXPECT_EQ(out, c.ok ? content : "") << c.what;
  }
}

TEST(CompressedFile, HighlyCompressibleStreamStopsAtTheBound) {
  // 8 MiB of zeros claimed as 64 KiB: the inflate stops just past 128 KiB instead of finishing.
  Bytes bomb = Make(1 << 16, std::string(8 << 20, '\0'), 1);
  Bytes out;
  EXPECT_FALSE(InflateCompressedFile(bomb, out));
  EXPECT_TRUE(out.empty());
}

}  // namespace
