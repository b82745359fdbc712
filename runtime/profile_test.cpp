// Tests of the profile-string reader and writer: lookup rules, value clean-up, the value cut, and
// edits that leave the rest of the file untouched.
#include "runtime/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/files.h"

namespace {

TEST(Profile, ReadRules) {
  const std::string ini =
      "top=before any section\r\n"
      "[\xC4\xAB\xCD\xA9\xC8\xED\xBC\xFE\xB0\xB2\xD7\xB0\xC5\xE4\xD6\xC3]\r\n"  // [墨桐软件安装配置]
      "\xB1\xEA\xCC\xE2" "1=\xD5\xE6\r\n"                                       // 标题1=真
      "  Name  =  Value with  spaces  \r\n"
      "name=second copy\r\n"
      "quoted=\"a b\"\r\n"
      "single=' x '\r\n"
      "unmatched=\"abc'\r\n"
      "lonequote=\"\r\n"
      "inner=a\"b\"\r\n"
      "empty=\r\n"
      "noequals\r\n"
      "eq=a=b\r\n"
      ";comment=1\r\n"
      "  ;indented=2\r\n"
      "tabbed=\tv\t\r\n"
      "[ Spaced ]\n"  // LF only
      "k=lf line\n"
      "[spaced]\r\n"
      "k=duplicate section\r\n"
      "late=only in the duplicate\r\n"
      "[\xB0\x5D" "x]\r\n"  // a trail byte equal to ']' is not the bracket
      "k=trail bracket\r\n"
      "[broken\r\n"       // a header without its bracket still opens a section
      "k=in broken\r\n"
      "[a]b] tail\r\n"    // the name ends at the first bracket
      "k=in a\r\n"
      "[]\r\n"
      "k=nameless\r\n";
  ProfileText p(ini);
  const std::string main = "\xC4\xAB\xCD\xA9\xC8\xED\xBC\xFE\xB0\xB2\xD7\xB0\xC5\xE4\xD6\xC3";
  struct Case {
    std::string section, key, want;
  } cases[] = {
      {main, "\xB1\xEA\xCC\xE2" "1", "\xD5\xE6"},
      {main, "name", "Value with  spaces"},          // first match wins, blanks trimmed
      {main, " NAME ", "Value with  spaces"},        // names trimmed and ASCII-case-insensitive
      {main, "quoted", "a b"},
      {main, "single", " x "},                      // blanks inside quotes survive
      {main, "unmatched", "\"abc'"},
      {main, "lonequote", "\""},
      {main, "inner", "a\"b\""},
      {main, "empty", ""},
      {main, "noequals", ""},
      {main, "eq", "a=b"},
      {main, "tabbed", "v"},
      {main, "missing", ""},
      {"", "top", ""},                              // keys before any section are unreachable
      {"SPACED", "k", "lf line"},
      {"spaced", "late", ""},                       // only the first of duplicate sections counts
      {"\xB0\x5D" "x", "k", "trail bracket"},
      {"broken", "k", "in broken"},
      {"a", "k", "in a"},
      {"a]b", "k", ""},
      {main, ";comment", ""},                       // comments are no keys
      {main, ";indented", ""},
      {main, "\tname", ""},                         // only spaces are trimmed from the name asked
      {"", "k", "nameless"},
      {"nosuch", "k", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.Get(c.section, c.key), c.want) << c.section << " / " << c.key;
    EXPECT_EQ(ProfileValue(ini, c.section, c.key), c.want);
  }
  EXPECT_EQ(p.SectionNames(), (std::vector<std::string>{main, "Spaced", "spaced", "\xB0\x5D" "x",
                                                       "broken", "a", ""}));
  EXPECT_EQ(p.KeyNames("spaced"), std::vector<std::string>{"k"});
  EXPECT_EQ(ProfileSectionNames("no sections\r\n"), std::vector<std::string>{});
  EXPECT_EQ(ProfileValue("", "a", "b"), "");
  EXPECT_EQ(p.KeyNames("\xB0\x5D" "x"), std::vector<std::string>{"k"});
}

TEST(Profile, ValuesAreCutAtTheBufferSize) {
  struct Case {
    std::string value;
    size_t want_size;
  } cases[] = {
      {std::string(kProfileValueLimit, 'a'), kProfileValueLimit},
      {std::string(kProfileValueLimit + 1, 'a'), kProfileValueLimit},
      {std::string(20000, 'a'), kProfileValueLimit},
      // 10,238 bytes then a double-byte character: it would be split, so it is left out.
      {std::string(kProfileValueLimit - 1, 'a') + "\xD5\xE6", kProfileValueLimit - 1},
      {std::string(kProfileValueLimit - 2, 'a') + "\xD5\xE6", kProfileValueLimit},
      {"\"" + std::string(kProfileValueLimit, 'q') + "\"", kProfileValueLimit},
      {std::string("ab\0cd", 5), 2},
  };
  for (const Case& c : cases) {
    std::string got = ProfileValue("[s]\r\nk=" + c.value + "\r\n", "s", "k");
    EXPECT_EQ(got.size(), c.want_size);
    EXPECT_EQ(got, c.value.substr(c.value[0] == '"' ? 1 : 0, c.want_size));
  }
}

TEST(Profile, EditsKeepTheRestOfTheFile) {
  struct Case {
    std::string before, section, key, value, after;
  } cases[] = {
      {"", "s", "k", "v", "[s]\r\nk=v\r\n"},
      {"; note\r\n[s]\r\nk = old \r\nz=1\r\n", "S", "K", "new", "; note\r\n[s]\r\nk =new\r\nz=1\r\n"},
      {"[s]\r\na=1\r\n\r\n[t]\r\nb=2\r\n", "s", "c", "3", "[s]\r\na=1\r\nc=3\r\n\r\n[t]\r\nb=2\r\n"},
      {"[s]\r\na=1", "s", "c", "3", "[s]\r\na=1\r\nc=3\r\n"},
      {"[s]\na=1\n", "s", "c", "3", "[s]\na=1\r\nc=3\n"},
      {"[s]\r\n", "s", "c", "", "[s]\r\nc=\r\n"},
      {"[s]\r\nflag\r\n", "s", "flag", "1", "[s]\r\nflag=1\r\n"},
      {"[s]\r\na=1\r\n", "t", "b", "2", "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
      {"[s]\r\na=1", "t", "b", "2", "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
      {"x=1\r\n", "s", "x", "2", "x=1\r\n[s]\r\nx=2\r\n"},
      {"[s]\r\nk=1\r\n[s]\r\nk=2\r\n", "s", "k", "9", "[s]\r\nk=9\r\n[s]\r\nk=2\r\n"},
  };
  for (const Case& c : cases) {
    Bytes after = SetProfileValue(c.before, c.section, c.key, c.value);
    EXPECT_EQ(after, c.after) << c.before;
    EXPECT_EQ(ProfileValue(after, c.section, c.key), c.value) << c.before;
  }
}

TEST(Profile, Utf16Profiles) {
  // "[节]\r\nk=值\r\n" in UTF-16LE with its byte-order mark.
  const Bytes wide("\xFF\xFE[\0\x82\x82]\0\r\0\n\0k\0=\0\x3C\x50\r\0\n\0", 22);
  EXPECT_EQ(ProfileValue(wide, "\xBD\xDA", "k"), "\xD6\xB5");
  EXPECT_EQ(ProfileSectionNames(wide), std::vector<std::string>{"\xBD\xDA"});
  Bytes edited = SetProfileValue(wide, "\xBD\xDA", "n", "1");
  EXPECT_EQ(edited, wide + Bytes("n\0=\0" "1\0\r\0\n\0", 10));
}

TEST(Profile, FileForms) {
  const char* base = std::getenv("QEV_BINARY_DIR");
  std::string dir = std::string(base ? base : "/tmp") + "/qev_profile_test";
  RemoveFolderTree(dir);
  ASSERT_TRUE(CreateFolderLevels(dir));
  std::string path = dir + "/uninst.ini";
  EXPECT_EQ(GetProfileText(path, "s", "k"), "");
  EXPECT_TRUE(GetProfileSectionNames(path).empty());
  // 软件卸载配置 / 快捷方式1
  const std::string section = "\xC8\xED\xBC\xFE\xD0\xB6\xD4\xD8\xC5\xE4\xD6\xC3";
  const std::string key = "\xBF\xEC\xBD\xDD\xB7\xBD\xCA\xBD" "1";
  ASSERT_TRUE(WriteProfileText(path, section, key, "C:\\a.lnk,"));
  ASSERT_TRUE(WriteProfileText(path, "b", "x", "1"));
  ASSERT_TRUE(WriteProfileText(path, section, "y", "2"));
  EXPECT_EQ(GetProfileText(path, section, key), "C:\\a.lnk,");
  EXPECT_EQ(GetProfileSectionNames(path), (std::vector<std::string>{section, "b"}));
  Bytes content;
  ASSERT_TRUE(ReadWholeFile(path, content));
  EXPECT_EQ(content, "[" + section + "]\r\n" + key + "=C:\\a.lnk,\r\ny=2\r\n[b]\r\nx=1\r\n");
  EXPECT_FALSE(WriteProfileText(dir + "/missing/x.ini", "s", "k", "v"));
  EXPECT_TRUE(RemoveFolderTree(dir));
}

}  // namespace
