// Tests of the file layer that run on both builds: GBK names, whole-file helpers, folder creation
// and the removal guard.
#include "runtime/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// A fresh scratch folder per test under the system temporary folder (or the build tree).
std::string ScratchFolder(const std::string& name) {
  const char* base = std::getenv("QEV_BINARY_DIR");
#ifdef _WIN32
  const char* tmp = std::getenv("TEMP");
  std::string root = tmp ? Utf8ToGbk(tmp) : std::string("C:\\");
  (void)base;
#else
  std::string root = base ? Utf8ToGbk(base) : std::string("/tmp");
#endif
  std::string dir = root + "\\qev_files_test_" + name;
  RemoveFolderTree(dir);
  EXPECT_TRUE(CreateFolderLevels(dir));
  return dir;
}

TEST(Files, WholeFileRoundTripWithGbkNames) {
  std::string dir = ScratchFolder("whole");
  // 配置包 with a name whose trail byte is a backslash (\xB0\x5C).
  std::string path = dir + "\\\xC5\xE4\xD6\xC3\xB0\xFC\xB0\x5C.dat";
  std::string content("a\0b\r\n\xFF", 6);
  ASSERT_TRUE(WriteWholeFile(path, content));
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FolderExists(path));
  EXPECT_EQ(FileSize(path), 6);
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(path, back));
  EXPECT_EQ(back, content);

  ASSERT_TRUE(AppendToFile(path, "tail"));
  ASSERT_TRUE(ReadWholeFile(path, back));
  EXPECT_EQ(back, content + "tail");
  ASSERT_TRUE(AppendToFile(dir + "\\new.txt", "x"));
  EXPECT_EQ(FileSize(dir + "\\new.txt"), 1);

  ASSERT_TRUE(CopyFileTo(path, dir + "\\copy"));
  ASSERT_TRUE(ReadWholeFile(dir + "\\copy", back));
  EXPECT_EQ(back, content + "tail");
  EXPECT_FALSE(CopyFileTo(path, path));
  ASSERT_TRUE(ReadWholeFile(path, back));
  EXPECT_EQ(back.size(), 10u);

  ASSERT_TRUE(DeleteFileAt(path));
  EXPECT_FALSE(PathExists(path));
  EXPECT_FALSE(ReadWholeFile(path, back));
  EXPECT_EQ(FileSize(path), -1);
  EXPECT_FALSE(DeleteFileAt(path));
  EXPECT_FALSE(WriteWholeFile(dir + "\\missing\\x", "a"));
  EXPECT_TRUE(RemoveFolderTree(dir));
}

TEST(Files, FileModesAndPositions) {
  std::string dir = ScratchFolder("modes");
  std::string path = dir + "\\f";
  File f;
  EXPECT_FALSE(f.Open(path, File::Mode::kRead));
  EXPECT_FALSE(f.Open(path, File::Mode::kWriteExisting));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.Size(), -1);
  EXPECT_EQ(f.Read(nullptr, 1), -1);
  ASSERT_TRUE(f.Open(path, File::Mode::kCreate));
  ASSERT_TRUE(f.Write("hello", 5));
  // Writing one byte beyond the end leaves a zero byte between, as the group writer relies on.
  ASSERT_TRUE(f.Seek(6));
  ASSERT_TRUE(f.Write("!", 1));
  EXPECT_TRUE(f.Flush());
  EXPECT_EQ(f.Size(), 7);
  f.Close();

  File r;
  ASSERT_TRUE(r.Open(path, File::Mode::kRead));
  // A reader shares the file with a writer.
  File w;
  ASSERT_TRUE(w.Open(path, File::Mode::kReadWrite));
  char buf[16];
  EXPECT_EQ(r.Read(buf, sizeof buf), 7);
  EXPECT_EQ(std::string(buf, 7), std::string("hello\0!", 7));
  EXPECT_EQ(r.Read(buf, sizeof buf), 0);
  ASSERT_TRUE(r.Seek(4));
  EXPECT_EQ(r.Read(buf, 1), 1);
  EXPECT_EQ(buf[0], 'o');
  EXPECT_FALSE(r.Seek(-1));
  ASSERT_TRUE(w.Seek(0));
  ASSERT_TRUE(w.Write("J", 1));
  w.Close();
  File moved = std::move(r);
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(r.IsOpen());
  moved.Close();
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(path, back));
  EXPECT_EQ(back[0], 'J');
  // Folders are not files.
  EXPECT_FALSE(f.Open(dir, File::Mode::kRead));
  EXPECT_EQ(FileSize(dir), -1);
  EXPECT_TRUE(RemoveFolderTree(dir));
}

TEST(Files, FolderLevelsAndTreeRemoval) {
  std::string dir = ScratchFolder("tree");
  std::string deep = dir + "\\a\\\xB0\x5C\\c\\";  // level with a trail-byte backslash
  ASSERT_TRUE(CreateFolderLevels(deep));
  EXPECT_TRUE(FolderExists(dir + "\\a\\\xB0\x5C\\c"));
  EXPECT_TRUE(CreateOneFolder(dir + "\\a"));  // already there
  EXPECT_FALSE(CreateOneFolder(dir + "\\x\\y"));  // parent missing
  ASSERT_TRUE(WriteWholeFile(dir + "\\a\\\xB0\x5C\\c\\file", "x"));
  ASSERT_TRUE(WriteWholeFile(dir + "\\a\\top", "y"));
  EXPECT_FALSE(RemoveFolderTree(dir + "\\a\\top"));  // a file, not a folder
  EXPECT_TRUE(FileExists(dir + "\\a\\top"));
  EXPECT_TRUE(RemoveFolderTree(dir + "\\a\\"));
  EXPECT_FALSE(PathExists(dir + "\\a"));
  EXPECT_TRUE(FolderExists(dir));
  EXPECT_FALSE(RemoveFolderTree(dir + "\\a"));  // gone already
  // A file in the way stops the creation.
  ASSERT_TRUE(WriteWholeFile(dir + "\\blocker", ""));
  EXPECT_FALSE(CreateFolderLevels(dir + "\\blocker\\sub"));
  EXPECT_FALSE(CreateFolderLevels(""));
  EXPECT_TRUE(RemoveFolderTree(dir));
}

TEST(Files, RootsAreNeverRemoved) {
  struct Case {
    const char* path;
    bool root;
  } cases[] = {
      {"", true},         {"/", true},           {"\\", true},         {"//", true},
      {"C:", true},       {"C:\\", true},        {"c:/", true},        {"C:\\\\", true},
      {"C:\\a\\..", true}, {"C:\\a\\..\\..\\b", true}, {".", true},     {"a\\..", true},
      {"\\\\server\\share", true}, {"\\\\server\\share\\", true}, {"\\\\?\\C:\\", true},
      {"C:\\a", false},   {"/tmp/x", false},     {"a", false},         {"C:\\a\\.\\b\\..", false},
      {"\\\\server\\share\\dir", false}, {"\xB0\x5C", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsFileSystemRoot(c.path), c.root) << c.path;
  EXPECT_FALSE(RemoveFolderTree(""));
  EXPECT_FALSE(RemoveFolderTree("/"));
  EXPECT_FALSE(RemoveFolderTree("C:\\"));
}

TEST(Files, PathParts) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  } cases[] = {
      {"C:\\a\\b.txt", "C:\\a", "b.txt"},
      {"b.txt", "", "b.txt"},
      {"C:\\a\\", "C:\\a", ""},
      {"/x/y", "/x", "y"},
      {"C:\\\xB0\x5C", "C:", "\xB0\x5C"},  // the trail backslash is no separator
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderOfPath(c.path), c.folder) << c.path;
    EXPECT_EQ(NameOfPath(c.path), c.name) << c.path;
  }
}

}  // namespace
