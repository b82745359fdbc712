// Repair of the first two bytes of a stored archive.
#include "package/extract.h"

#include <gtest/gtest.h>

#include "environment/system.h"
#include "runtime/files.h"

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
      {"altered", "QE" + sig.substr(2) + "body", 0, sig + "body", true},
      {"after the data block marker", marker + Bytes(2, '\0') + sig.substr(2), 19, marker + sig, true},
      {"too short for the offset", "ab", 19, "ab", false},
  };
  const std::string path = SpecialFolder(kFolderTemp) + "qev_restore_signature_test";
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
