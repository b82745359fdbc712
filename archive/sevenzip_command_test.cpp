// Command lines as the installer and the archiver-library family write them, member masks, and
// the member-name rule that keeps extraction inside its folder.
#include "archive/sevenzip_command.h"

#include <gtest/gtest.h>

#include "archive/extract_job.h"

namespace sz {
namespace {

using Strings = std::vector<std::string>;

TEST(SevenZipCommandTest, ParsesTheLinesCallersBuild) {
  struct Case {
    const char* line;
    bool flat;
    const char* archive;
    const char* output;
    Strings includes;
    Strings excludes;
    bool has_password;
    const char* password;
  };
  const Case cases[] = {
      // The installer's line without lists: the file specification is a bare "*".
      {"x  \"C:\\a b\\data.7z\" -hide -y \"C:\\out dir\\\" * -p\"\"", false, "C:\\a b\\data.7z",
       "C:\\out dir\\", {"*"}, {}, true, ""},
      // With an exclude list: every item quoted as a specification, then "*" and -x! per item.
      {"e  \"D:\\d.7z\" -hide -y \"D:\\o\\\" \"a.txt\" \"b\\c.dll\"  -p\"pw\"  * -x!\"a.txt\"  * "
       "-x!\"b\\c.dll\" ",
       true, "D:\\d.7z", "D:\\o\\", {"a.txt", "b\\c.dll", "*", "*"}, {"a.txt", "b\\c.dll"}, true,
       "pw"},
      // Chinese folder and password; spaces inside the quoted password are kept.
      {"x  \"C:\\安装\\数据.7z\" -hide -y \"C:\\程序 目录\\\" \"说明.txt\"  -p\"密码 1\"", false,
       "C:\\安装\\数据.7z", "C:\\程序 目录\\", {"说明.txt"}, {}, true, "密码 1"},
      // The family's other spellings: "/" for "-", -o, switches before the command, no -p at all.
      {"/hide x /y arc.7z -oC:\\o *.txt /x!*.bak", false, "arc.7z", "C:\\o", {"*.txt"}, {"*.bak"},
       false, ""},
      // A trail byte 0x5C does not end a token in "\": the token is a specification, not a folder.
      {"x a.7z \"dir\\\x81\x5C\"", false, "a.7z", "", {"dir\\\x81\x5C"}, {}, false, ""},
      // Only the first token ending in "\" is the base folder; a later one is a folder mask.
      {"x a.7z out\\ sub\\", false, "a.7z", "out\\", {"sub\\"}, {}, false, ""},
      // A quoted name that starts with "-" is a name; an empty quoted specification is dropped.
      {"X a.7z \"-dash.txt\" \"\"", false, "a.7z", "", {"-dash.txt"}, {}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    SevenZipCommand command;
    std::string error;
    ASSERT_TRUE(ParseSevenZipCommand(c.line, ParseOptions(), &command, &error)) << error;
    EXPECT_EQ(command.flat, c.flat);
    EXPECT_EQ(command.archive, c.archive);
    EXPECT_EQ(command.output, c.output);
    EXPECT_EQ(command.includes, c.includes);
    EXPECT_EQ(command.excludes, c.excludes);
    EXPECT_EQ(command.has_password, c.has_password);
    EXPECT_EQ(command.password, c.password);
  }
}

TEST(SevenZipCommandTest, RefusesWhatItDoesNotUnderstand) {
  const char* const lines[] = {
      "",                       // nothing
      "a  \"x.7z\" file",       // an archiving command
      "l x.7z",                 // listing is not offered
      "x",                      // no archive
      "x -y",                   // still no archive
      "x \"a.7z -y",            // unbalanced quote
      "x a.7z -zz",             // unknown switch
      "x a.7z -o",              // -o without folder
      "x a.7z /tmp/out/",       // "/" starts a switch in the library's syntax
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    SevenZipCommand command;
    std::string error;
    EXPECT_FALSE(ParseSevenZipCommand(line, ParseOptions(), &command, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(SevenZipCommandTest, NativeOptionTakesSlashPaths) {
  ParseOptions native;
  native.slash_starts_switch = false;
  SevenZipCommand command;
  std::string error;
  ASSERT_TRUE(ParseSevenZipCommand("x /tmp/a.7z /tmp/out/ -y", native, &command, &error)) << error;
  EXPECT_EQ(command.archive, "/tmp/a.7z");
  EXPECT_EQ(command.output, "/tmp/out/");
  EXPECT_TRUE(command.yes);
}

TEST(SevenZipCommandTest, MasksMatchAsSevenZipDoes) {
  struct Case {
    const char* mask;
    const char* path;
    bool match;
  };
  const Case cases[] = {
      {"*", "a\\b\\c.txt", true},
      {"*.txt", "a\\b\\c.txt", true},        // a bare name matches at any depth
      {"*.TXT", "readme.txt", true},         // ASCII letters without case
      {"readme.txt", "docs\\readme.txt", true},
      {"docs", "docs\\manual.txt", true},    // a folder brings its content
      {"docs", "x\\docs\\manual.txt", true},
      {"doc", "docs\\manual.txt", false},
      {"docs\\*.txt", "docs\\manual.txt", true},
      {"docs/*.txt", "docs\\manual.txt", true},
      {".\\docs\\*.txt", "docs\\manual.txt", true},
      {"docs\\*.txt", "x\\docs\\manual.txt", false},  // a mask with a folder is anchored
      {"docs\\*.txt", "docs", false},
      {"docs\\sub", "docs\\sub\\deep\\f.bin", true},
      {"?.txt", "ab.txt", false},
      {"??.txt", "ab.txt", true},
      {"*a*b*c", "xaxxbxc", true},
      {"*a*b*c", "xaxxbxcx", false},
      {"a*", "ba", false},
      {"中?.txt", "中文.txt", true},           // "?" takes a whole double-byte character
      {"中??.txt", "中文.txt", false},
      {"说明.TXT", "中文目录\\说明.txt", true},
      {"\x81\x5C*", "\x81\x5C" "abc", true},    // trail byte 0x5C is not a separator
      {"abc", "\x81\x5C" "abc", false},
      {"", "a.txt", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MaskMatchesPath(c.mask, c.path), c.match) << c.mask << " / " << c.path;
  }
}

TEST(SevenZipCommandTest, ExclusionsWinOverSpecifications) {
  SevenZipCommand command;
  std::string error;
  ASSERT_TRUE(ParseSevenZipCommand(
      "x a.7z o\\ \"a.txt\" \"docs\" -p\"\" * -x!\"a.txt\" * -x!\"docs\"", ParseOptions(),
      &command, &error));
  EXPECT_FALSE(IsPathSelected(command, "a.txt"));
  EXPECT_FALSE(IsPathSelected(command, "sub\\a.txt"));
  EXPECT_FALSE(IsPathSelected(command, "docs\\manual.txt"));
  EXPECT_TRUE(IsPathSelected(command, "b.txt"));
  EXPECT_TRUE(IsPathSelected(command, "bin\\a.dll"));

  ASSERT_TRUE(ParseSevenZipCommand("x a.7z \"bin\\*.dll\" \"readme.txt\"", ParseOptions(),
                                   &command, &error));
  EXPECT_TRUE(IsPathSelected(command, "bin\\z.DLL"));
  EXPECT_TRUE(IsPathSelected(command, "readme.txt"));
  EXPECT_FALSE(IsPathSelected(command, "bin\\z.exe"));
  EXPECT_FALSE(IsPathSelected(command, "other\\z.dll"));
}

TEST(SevenZipCommandTest, MemberPathsThatWouldLeaveTheFolderAreUnsafe) {
  struct Case {
    const char* path;
    bool safe;
  };
  const Case cases[] = {
      {"readme.txt", true},
      {"a\\b\\c.txt", true},
      {"中文目录\\说明.txt", true},
      {"\x81\x5C.txt", true},     // trail byte 0x5C is part of a character
      {"name with spaces.txt", true},
      {"a..b.txt", true},
      {"console.txt", true},
      {"", false},
      {"..\\x.txt", false},
      {"a\\..\\..\\x.txt", false},
      {"a\\..", false},
      {".\\x.txt", false},
      {"...\\x.txt", false},
      {". .\\x.txt", false},
      {"\\x.txt", false},           // rooted
      {"\\\\server\\share\\x", false},
      {"\\\\?\\C:\\x", false},
      {"C:x.txt", false},
      {"C:\\x.txt", false},
      {"a.txt:stream", false},
      {"a\\\\b.txt", false},        // empty component
      {"a\\", false},
      {"a/b.txt", false},           // separators are normalised before the check
      {"a?.txt", false},
      {"a*.txt", false},
      {"a\x01.txt", false},
      {"CON", false},
      {"docs\\nul.txt", false},
      {"com1.log", false},
      {"LPT9", false},
      {"com10.log", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeMemberPath(c.path), c.safe) << c.path;
  }
}

TEST(SevenZipCommandTest, MemberNamesBecomeGbkWithBackslashes) {
  EXPECT_EQ(MemberPathText(u"docs/manual.txt"), "docs\\manual.txt");
  EXPECT_EQ(MemberPathText(u"中文目录/说明.txt"), "中文目录\\说明.txt");
  EXPECT_EQ(MemberPathText(u"a\\b"), "a\\b");
}

TEST(SevenZipCommandTest, ProgressSizesSwitchToPerMilleAbove4GiB) {
  constexpr uint64_t kGiB = uint64_t(1) << 30;
  struct Case {
    uint64_t total, written;
    uint32_t total_field, written_field;
  };
  const Case cases[] = {
      {0, 0, 0, 0},
      {100, 50, 100, 50},
      {0xFFFFFFFEull, 0xFFFFFFFEull, 0xFFFFFFFEu, 0xFFFFFFFEu},
      {0xFFFFFFFFull, 0, 0xFFFFFFFFu, 0},  // the total itself would read as the marker
      {0xFFFFFFFFull, 0xFFFFFFFFull, 0xFFFFFFFFu, 1000},
      {8 * kGiB, 4 * kGiB, 0xFFFFFFFFu, 500},
      {8 * kGiB, 8 * kGiB, 0xFFFFFFFFu, 1000},
      {UINT64_MAX / 2, UINT64_MAX / 4, 0xFFFFFFFFu, 500},  // no overflow in the per mille
  };
  for (const Case& c : cases) {
    ExtractingInfo info = {};
    SetProgressSizes(c.total, c.written, &info);
    EXPECT_EQ(info.total_size, c.total_field) << c.total;
    EXPECT_EQ(info.written_size, c.written_field) << c.total << " " << c.written;
  }
}

}  // namespace
}  // namespace sz
