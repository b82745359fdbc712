// Tests of the GBK text primitives, above all that no search starts on a trail byte.
#include "runtime/text.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const size_t npos = std::string_view::npos;

// "\xB0\x5C" is a GBK character whose trail byte is a backslash; "\xC5\xE4" is 配.
TEST(Text, FindTextNeverStartsOnTrailByte) {
  struct Case {
    std::string text, needle;
    size_t from, first, last;
  } cases[] = {
      {"abc", "b", 0, 1, 1},
      {"abcabc", "bc", 2, 4, 4},
      {"\xB0\x5C" "a\\", "\\", 0, 3, 3},          // trail backslash skipped
      {"\xB0\x5C", "\\", 0, npos, npos},
      {"\xC5\xE4\xC5\xE4", "\xE4\xC5", 0, npos, npos},  // straddles two characters
      {"a\xC5\xE4" "b", "\xC5\xE4", 0, 1, 1},
      {"a\xC5\xE4" "b", "\xC5\xE4", 2, npos, 1},   // from inside a character finds nothing later
      {"", "a", 0, npos, npos},
      {"abc", "", 0, npos, npos},
      {"ab", "abc", 0, npos, npos},
      {"abc", "c", 9, npos, 2},
      {"\x81", "\x81", 0, 0, 0},                   // lone lead byte at the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindText(c.text, c.needle, c.from), c.first) << c.text << " / " << c.needle;
    EXPECT_EQ(FindLastText(c.text, c.needle), c.last) << c.text << " / " << c.needle;
  }
  EXPECT_TRUE(ContainsText("x\xC5\xE4y", "\xC5\xE4"));
  EXPECT_FALSE(ContainsText("\xB0\x5C", "\\"));
}

TEST(Text, ByteSearchesIgnoreCharacters) {
  std::string data("\xB0\x5C\0marker\0marker", 16);
  EXPECT_EQ(FindBytes(data, "\\"), 1u);
  EXPECT_EQ(FindBytes(data, std::string("\0m", 2)), 2u);
  EXPECT_EQ(FindBytes(data, "marker", 4), 10u);
  EXPECT_EQ(FindBytes(data, "marker", 11), npos);
  EXPECT_EQ(FindBytes(data, "marker", 100), npos);
  EXPECT_EQ(FindLastBytes(data, "marker"), 10u);
  EXPECT_EQ(FindLastBytes(data, "r"), 15u);
  EXPECT_EQ(FindLastBytes(data, "zz"), npos);
  EXPECT_EQ(FindLastBytes("ab", "abc"), npos);
  EXPECT_EQ(FindBytes(data, ""), npos);
  // A large block with near misses of a marker's first byte.
  std::string big(1 << 20, 'Q');
  big += "QEV-mark";
  EXPECT_EQ(FindBytes(big, "QEV-mark"), big.size() - 8);
  EXPECT_EQ(FindLastBytes(big, "QEV-mark"), big.size() - 8);
  EXPECT_EQ(FindLastBytes(big, "QQ"), big.size() - 9);
}

TEST(Text, ByteSearchesAgreeWithPlainSearchOnRepetitiveData) {
  // Small alphabets make the first byte so frequent that the skip search takes over.
  uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 200; ++round) {
    const int alphabet = 1 + round % 3;
    std::string data(1000 + next() % 9000, 'a');
    for (char& c : data) c = static_cast<char>('a' + (next() >> 8) % alphabet);
    std::string needle(1 + next() % 12, 'a');
    for (char& c : needle) c = static_cast<char>('a' + (next() >> 8) % alphabet);
    if (round % 4 == 0) data.replace(data.size() / 2, needle.size(), needle);
    size_t from = next() % 100;
    ASSERT_EQ(FindBytes(data, needle, from), data.find(needle, from)) << round;
    ASSERT_EQ(FindLastBytes(data, needle), data.rfind(needle)) << round;
  }
  // A run of the first byte with the one match at either end.
  std::string run(100000, 'Q');
  std::string marker = "QEV";
  EXPECT_EQ(FindBytes(run + marker, marker), run.size());
  EXPECT_EQ(FindLastBytes(marker + run, marker), 0u);
  EXPECT_EQ(FindBytes(run, marker), npos);
  EXPECT_EQ(FindLastBytes(run, marker), npos);
}

TEST(Text, ReplaceAll) {
  struct Case {
    std::string text, from, to, want;
  } cases[] = {
      {"%a%/%a%", "%a%", "x", "x/x"},
      {"aaa", "a", "aa", "aaaaaa"},                   // result is not searched again
      {"abc", "", "x", "abc"},
      {"abc", "d", "x", "abc"},
      {"\xB0\x5C\\", "\\", "\\\\", "\xB0\x5C\\\\"},   // the trail backslash stays single
      {"aXbX", "X", "", "ab"},
      {"", "a", "b", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceAll(c.text, c.from, c.to), c.want) << c.text;
}

TEST(Text, SplitKeepsEmptyPiecesButTheLast) {
  using V = std::vector<std::string>;
  struct Case {
    std::string text, sep;
    V want;
  } cases[] = {
      {"", ",", {}},
      {"a", ",", {"a"}},
      {"a,b", ",", {"a", "b"}},
      {"a,b,", ",", {"a", "b"}},
      {",", ",", {""}},
      {",,", ",", {"", ""}},
      {",a,,b", ",", {"", "a", "", "b"}},
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"x#\xA3\xA1\xA1\xEF\xA3\xA1#y#\xA3\xA1\xA1\xEF\xA3\xA1#", "#\xA3\xA1\xA1\xEF\xA3\xA1#", {"x", "y"}},
      {"\xB0\x5C" "a\\b", "\\", {"\xB0\x5C" "a", "b"}},
      {"abc", "", {"abc"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitText(c.text, c.sep), c.want) << c.text;
}

TEST(Text, TrimAndNumbers) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimLeadingSpaces("  a "), "a ");
  EXPECT_EQ(TrimTrailingSpaces("  a "), "  a");
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimWhitespace("\r\n\t a \t\r\n"), "a");

  struct Case {
    std::string text;
    int64_t want;
  } cases[] = {
      {"", 0}, {"abc", 0}, {"12", 12}, {"  -7x", -7}, {"+5", 5}, {"-", 0}, {"3.9", 3},
      {"9223372036854775807", INT64_MAX}, {"99999999999999999999", INT64_MAX},
      {"-9223372036854775808", INT64_MIN}, {"-99999999999999999999", INT64_MIN}, {"\t5", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToInt(c.text), c.want) << c.text;
  EXPECT_EQ(IntToText(-42), "-42");
  EXPECT_EQ(IntToText(0), "0");
}

TEST(Text, AsciiCaseLeavesTrailBytesAlone) {
  // "\x81\x41": a double-byte character whose trail byte is 'A'.
  EXPECT_EQ(AsciiLower("AbC\x81\x41Z"), "abc\x81\x41z");
  EXPECT_EQ(AsciiUpper("aBc\x81\x61z"), "ABC\x81\x61Z");
  EXPECT_TRUE(EqualsIgnoreAsciiCase("Data.INI", "data.ini"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\x81\x41", "\x81\x61"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("a", "ab"));
  EXPECT_TRUE(EqualsIgnoreAsciiCase("", ""));
  EXPECT_TRUE(StartsWith("abc", "ab"));
  EXPECT_FALSE(StartsWith("a", "ab"));
  EXPECT_TRUE(EndsWith("abc", "bc"));
  EXPECT_FALSE(EndsWith("c", "bc"));
  EXPECT_EQ(HexText(std::string("\x00\xff\x1a", 3)), "00ff1a");
}

TEST(Text, CodePageConversion) {
  // "QEV-mark=配置包A" as GBK and UTF-8.
  const std::string gbk = "QEV-mark=\xC5\xE4\xD6\xC3\xB0\xFC" "A";
  const std::string utf8 = "QEV-mark=\xE9\x85\x8D\xE7\xBD\xAE\xE5\x8C\x85" "A";
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
  EXPECT_EQ(Utf8ToGbk(utf8), gbk);
  EXPECT_EQ(Utf16ToGbk(GbkToUtf16(gbk)), gbk);
  EXPECT_EQ(GbkToUtf16("\xC5\xE4"), std::u16string(1, u'\u914D'));
  // Code page 936 maps 0x80 to the euro sign.
  EXPECT_EQ(GbkToUtf16("\x80"), std::u16string(1, u'\u20AC'));
#ifndef _WIN32
  // Invalid bytes become '?' and do not swallow what follows. (Windows' own code page 936 maps
  // 0xFF to a private-use character and a surrogate pair to two '?': the system's answer stands.)
  EXPECT_EQ(GbkToUtf8("a\xFF"), "a?");
  EXPECT_EQ(GbkToUtf8("\xC5"), "?");
  // Characters without a GBK form become one '?' each, surrogate pairs included.
  EXPECT_EQ(Utf16ToGbk(u"a\U0001F600b"), "a?b");
#endif
  EXPECT_EQ(Utf8ToGbk("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(GbkToUtf8(""), "");
  EXPECT_EQ(Utf8ToGbk("a\xC3"), "a?");
}

TEST(Text, ExactPathForm) {
  // The wide path, its exact GBK form, and that form read back gives the wide path again.
  const struct {
    std::u16string wide;
    std::string gbk;
  } table[] = {
      {u"C:\\产品\\说明.txt", "C:\\产品\\说明.txt"},  // GBK names keep their bytes
      {u"C:\\P\\Stra\u00DFe.txt", "C:\\P\\Stra?00DFe.txt"},
      {u"\u00E2b\\Ω文.txt", "?00E2b\\Ω文.txt"},
      {u"a\U0001F600b", "a?D83D?DE00b"},       // a pair is two units
      {u"lone\xD800.txt", "lone?D800.txt"},   // an unpaired surrogate, still exact
      {u"what?.txt", "what?003F.txt"},          // "?" itself is escaped
      {u"\u20AC", "\x80"},                      // code page 936 has the euro sign at 0x80
      {u"", ""},
  };
  for (const auto& row : table) {
    EXPECT_EQ(Utf16ToGbkPath(row.wide), row.gbk);
    EXPECT_EQ(GbkPathToUtf16(row.gbk), row.wide) << row.gbk;
  }
  // A "?" without four hexadecimal digits is a plain "?"; lower-case digits read as well; the
  // digits after a double-byte character are not taken for a trail byte.
  EXPECT_EQ(GbkPathToUtf16("\\\\?\\C:\\a"), u"\\\\?\\C:\\a");
  EXPECT_EQ(GbkPathToUtf16("a?00G1?12"), u"a?00G1?12");
  EXPECT_EQ(GbkPathToUtf16("?00df"), u"\u00DF");
  EXPECT_EQ(GbkPathToUtf16("文?00DF文"), u"文\u00DF文");

  // Shown lines read back only the escapes Utf16ToGbkPath writes: other "?"s are the line's own.
  const struct {
    const char* line;
    std::u16string shown;
  } lines[] = {
      {"抽取: Stra?00DFe.txt", u"抽取: Stra\u00DFe.txt"},
      {"删除文件: C:\\?00C5\\a?D83D?DE00b?003F", u"删除文件: C:\\\u00C5\\a\U0001F600b?"},
      {"运行程序: http://host/?abcd", u"运行程序: http://host/?abcd"},  // lower-case: never written
      {"运行程序: a.exe ?0041 ?4E2D", u"运行程序: a.exe ?0041 ?4E2D"},     // GBK holds "A" and "中"
      {"写入注册项: HKCU\\k?12", u"写入注册项: HKCU\\k?12"},
  };
  for (const auto& row : lines) EXPECT_EQ(ShownText(row.line), row.shown) << row.line;
}

TEST(Text, Utf8Utf16RoundTrip) {
  const std::string utf8 = "a\xC3\xA9\xE9\x85\x8D\xF0\x9F\x98\x80";
  std::u16string u16 = Utf8ToUtf16(utf8);
  ASSERT_EQ(u16.size(), 5u);
  EXPECT_EQ(Utf16ToUtf8(u16), utf8);
  // Overlong forms and encoded surrogates are malformed.
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), std::u16string(u"\uFFFD\uFFFD"));
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80").size(), 3u);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "?");
}

// The sixteen-wide scan of the byte searches must agree with a plain search everywhere, including
// at the ends of the data, where it hands over to the byte-wise one.
size_t Plain(std::string_view data, std::string_view needle, size_t from) {
  return needle.empty() || from > data.size() ? std::string_view::npos : data.find(needle, from);
}
size_t PlainLast(std::string_view data, std::string_view needle) {
  return needle.empty() ? std::string_view::npos : data.rfind(needle);
}

TEST(Text, ByteSearchesAgreeWithPlainSearch) {
  std::mt19937 rng(5);
  for (int round = 0; round < 20000; ++round) {
    // A two-letter alphabet makes matches and near misses frequent.
    const char alphabet[2] = {char(rng() % 2 ? 0x01 : 'Q'), 'x'};
    std::string data(rng() % 80, '\0'), needle(rng() % 7, '\0');
    for (char& c : data) c = alphabet[rng() % 2];
    for (char& c : needle) c = alphabet[rng() % 2];
    const size_t from = rng() % (data.size() + 3);
    ASSERT_EQ(FindBytes(data, needle, from), Plain(data, needle, from))
        << data << " / " << needle << " from " << from;
    ASSERT_EQ(FindLastBytes(data, needle), PlainLast(data, needle)) << data << " / " << needle;
  }
  const std::string marker = "QEV-mark=7zipdataA\x01";
  std::string big(1000, 'Q');
  for (size_t at : {size_t(0), size_t(15), size_t(16), size_t(500), big.size() - marker.size()}) {
    std::string d = big;
    d.replace(at, marker.size(), marker);
    EXPECT_EQ(FindBytes(d, marker), at);
    EXPECT_EQ(FindLastBytes(d, marker), at);
  }
}

}  // namespace
