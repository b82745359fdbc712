// Windows-only file tests: GBK names reach the wide API intact, sizes beyond 4 GiB, and tree
// removal through read-only files.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include "runtime/files.h"
#include "runtime/wide_win32.h"

namespace {

std::string TempFolder(const std::string& name) {
  wchar_t buffer[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH, buffer);
  std::string dir = FromWide(std::wstring(buffer, n)) + "qev_win_test_" + name;
  RemoveFolderTree(dir);
  EXPECT_TRUE(CreateFolderLevels(dir));
  return dir;
}

TEST(FilesWin32, GbkNamesAreTheWideNames) {
  std::string dir = TempFolder("names");
  // 卸载程序图标.ico
  std::string name = "\xD0\xB6\xD4\xD8\xB3\xCC\xD0\xF2\xCD\xBC\xB1\xEA.ico";
  ASSERT_TRUE(WriteWholeFile(dir + "\\" + name, "icon"));
  std::wstring wide = ToWide(dir) + L"\\\u5378\u8F7D\u7A0B\u5E8F\u56FE\u6807.ico";
  EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(FromWide(L"\u5378\u8F7D"), "\xD0\xB6\xD4\xD8");
  EXPECT_EQ(ToWide("\xB0\x5C"), std::wstring(1, L'\u7668'));
  EXPECT_TRUE(RemoveFolderTree(dir));
}

TEST(FilesWin32, SizesBeyondFourGigabytes) {
  std::string dir = TempFolder("big");
  std::string path = dir + "\\sparse";
  const int64_t beyond = (int64_t{1} << 32) + 10;
  {
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::kCreate));
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD ret = 0;
      DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ret, nullptr);
      CloseHandle(h);
    }
    ASSERT_TRUE(f.Seek(beyond));
    ASSERT_TRUE(f.Write("z", 1));
    EXPECT_EQ(f.Size(), beyond + 1);
  }
  EXPECT_EQ(FileSize(path), beyond + 1);
  File r;
  ASSERT_TRUE(r.Open(path, File::Mode::kRead));
  ASSERT_TRUE(r.Seek(beyond));
  char c = 0;
  EXPECT_EQ(r.Read(&c, 1), 1);
  EXPECT_EQ(c, 'z');
  r.Close();
  EXPECT_TRUE(RemoveFolderTree(dir));
}

TEST(FilesWin32, PathsBeyondTheOldLengthLimit) {
  std::string dir = TempFolder("long");
  std::string deep = dir;
  for (int i = 0; i < 12; ++i) deep += "\\\xC9\xEE\xB2\xE3\xC4\xBF\xC2\xBC_level_" + std::to_string(i) + "_abcdefghij";
  ASSERT_GT(deep.size(), 300u);
  ASSERT_TRUE(CreateFolderLevels(deep));
  std::string file = deep + "\\data.bin";
  ASSERT_TRUE(WriteWholeFile(file, "long"));
  EXPECT_EQ(FileSize(file), 4);
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(file, back));
  EXPECT_EQ(back, "long");
  EXPECT_TRUE(RemoveFolderTree(dir));
  EXPECT_FALSE(PathExists(dir));
}

TEST(FilesWin32, TreeRemovalClearsReadOnly) {
  std::string dir = TempFolder("tree");
  ASSERT_TRUE(CreateFolderLevels(dir + "\\a\\b"));
  std::string file = dir + "\\a\\b\\locked.txt";
  ASSERT_TRUE(WriteWholeFile(file, "x"));
  SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(RemoveFolderTree(dir));
  EXPECT_FALSE(PathExists(dir));
  EXPECT_FALSE(RemoveFolderTree("C:\\"));
  EXPECT_FALSE(RemoveFolderTree("C:"));
  EXPECT_TRUE(FolderExists("C:\\"));
}

}  // namespace

namespace {

// A system path with a character GBK cannot hold comes back in its short form, which names the
// same file; a GBK path comes back as it is.
TEST(FilesWin32, PathsOutsideGbkTakeTheirShortForm) {
  const std::string dir = TempFolder("short");
  const std::wstring wide = ToWide(dir) + L"\\J\u00f6rg \u0101 long name";
  ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(FromWide(ToWide(dir)) + "\\marker.txt", "x"));
  const std::string gbk = GbkPathFromWide(wide);
  EXPECT_FALSE(gbk.empty());
  EXPECT_TRUE(FolderExists(gbk)) << gbk;
  EXPECT_EQ(GbkPathFromWide(ToWide(dir + "\\marker.txt")), dir + "\\marker.txt");
  EXPECT_EQ(GbkPathFromWide(L""), "");
  RemoveFolderTree(dir);
}

}  // namespace
