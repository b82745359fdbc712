// The extraction front's own logic: the command line handed to the library, the folders made
// before an extraction, the progress rule, and the repair of a stored archive's signature.
#include "package/extract.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "environment/system.h"
#include "runtime/files.h"

TEST(ExtractCommandLine, IsExactlyTheLibraryCommand) {
  struct Case {
    const char* what;
    bool flat;
    const char* password;
    const char* include;
    const char* exclude;
    const char* line;
  };
  const Case cases[] = {
      {"everything", false, "", "", "",
       "x  \"C:\\a b\\d.7z\" -hide -y \"C:\\out\\\" * -p\"\""},
      {"flat with password", true, "pw", "", "",
       "e  \"C:\\a b\\d.7z\" -hide -y \"C:\\out\\\" * -p\"pw\""},
      {"include list", false, "pw", "a.txt,sub\\*.dll", "",
       "x  \"C:\\a b\\d.7z\" -hide -y \"C:\\out\\\" \"a.txt\" \"sub\\*.dll\"  -p\"pw\""},
      // The exclude list wins over the include list and is named twice: as specification and as
      // exclusion, each exclusion with a "*" of its own.
      {"exclude list", false, "pw", "ignored", "a.txt,b.txt",
       "x  \"C:\\a b\\d.7z\" -hide -y \"C:\\out\\\" \"a.txt\" \"b.txt\"  -p\"pw\""
       " * -x!\"a.txt\"  * -x!\"b.txt\" "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractCommandLine("C:\\a b\\d.7z", "C:\\out\\", c.flat, c.password, c.include,
                                 c.exclude),
              c.line)
        << c.what;
  }
}

TEST(FolderLevels, StartAtTheDriveAndStopAtEmptyOrDotParts) {
  struct Case {
    const char* folder;
    std::vector<std::string> levels;
  };
  const Case cases[] = {
      {"C:\\a\\b\\", {"C:\\a", "C:\\a\\b"}},
      {"C:\\a\\b", {"C:\\a", "C:\\a\\b"}},
      {"C:\\a\\\\b\\", {"C:\\a"}},
      {"C:\\a\\.\\b\\", {"C:\\a"}},
      {"C:\\a\\..\\b\\", {"C:\\a"}},
      {"C:\\", {}},
      {"\\\\server\\share\\a\\", {}},
      {"relative\\a\\", {}},
      {"CD:\\a\\", {}},
      {"/tmp/a/\\", {}},
      // A double-byte character whose second byte is 5C is no separator.
      {"C:\\\x81\x5C\\b\\", {"C:\\\x81\x5C", "C:\\\x81\x5C\\b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderLevels(c.folder), c.levels) << c.folder;
}

TEST(ProgressPercent, BytesOrPerMille) {
  struct Case {
    uint32_t total, written;
    int percent;
  };
  const Case cases[] = {
      {200, 0, 0},     {200, 100, 50},          {3, 1, 33},      {3, 3, 100},
      {0, 0, 0},       {0xFFFFFFFE, 0xFFFFFFFE, 100},            {0xFFFFFFFE, 0x7FFFFFFE, 49},
      {0xFFFFFFFF, 0, 0}, {0xFFFFFFFF, 505, 50}, {0xFFFFFFFF, 1000, 100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressPercent(c.total, c.written), c.percent) << c.total << " " << c.written;
  }
}

TEST(OnArchiveProgress, ReportsDestinationAndPercentThenTheEnd) {
  std::vector<std::pair<std::string, int>> calls;
  ExtractProgress progress = [&](const std::string& name, int percent) {
    calls.emplace_back(name, percent);
  };
  // The full record of the library is 1,080 bytes; only its head is read.
  std::vector<char> record(1080, 'z');
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&record[at], &v, 4); };
  put32(0, 400);
  put32(4, 100);
  std::memcpy(&record[8], "dir\\a.txt", 10);
  std::memcpy(&record[524], "C:\\out\\dir\\a.txt", 17);
  EXPECT_EQ(OnArchiveProgress(1, record.data(), progress), 1);
  // A destination field without its NUL is taken up to the field's end, never beyond.
  std::memset(&record[524], 'n', 513);
  EXPECT_EQ(OnArchiveProgress(0, record.data(), progress), 1);
  EXPECT_EQ(OnArchiveProgress(2, nullptr, progress), 1);
  EXPECT_EQ(OnArchiveProgress(1, nullptr, progress), 1);
  EXPECT_EQ(OnArchiveProgress(1, record.data(), nullptr), 1);
  const std::vector<std::pair<std::string, int>> expected = {
      {"C:\\out\\dir\\a.txt", 25}, {std::string(513, 'n'), 25}, {"", 100}};
  EXPECT_EQ(calls, expected);
}

TEST(RestoreArchiveSignature, WritesOnlyWhereTheSignatureIsBroken) {
  const Bytes sig("7z\xBC\xAF\x27\x1C\0\x03", 8);
  const Bytes marker = "QEV-mark=7zipdataA\x01";
  struct Case {
    const char* what;
    Bytes file;
    int64_t offset;
    Bytes after;
    bool ok;
  };
  const Case cases[] = {
      {"intact", sig + "body", 0, sig + "body", true},
      {"intact one byte in", "x" + sig + "body", 0, "x" + sig + "body", true},
      {"intact, minor version 4 (current 7-Zip)", sig.substr(0, 7) + "\x04" + Bytes(30, 'b'), 19,
       sig.substr(0, 7) + "\x04" + Bytes(30, 'b'), true},
      {"altered", "QE" + sig.substr(2) + "body", 0, sig + "body", true},
      {"after the data block marker", marker + Bytes(2, '\0') + sig.substr(2), 19, marker + sig, true},
      {"too short for the offset", "ab", 19, "ab", false},
  };
  const std::string path = SpecialFolder(kFolderTemp) + "qev_restore_signature_test_" +
                           std::to_string(getpid());
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteWholeFile(path, c.file));
    EXPECT_EQ(RestoreArchiveSignature(path, c.offset), c.ok) << c.what;
    Bytes after;
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_EQ(after, c.after) << c.what;
  }
  DeleteFileAt(path);
  EXPECT_FALSE(RestoreArchiveSignature(path, 0));
}
