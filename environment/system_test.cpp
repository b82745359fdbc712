// Tests of the system services' plain logic: normalisation, value paths, version numbers and the
// unique temporary name search.
#include "environment/system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace {

TEST(NormalisePath, DriveLetterAndTrailingBackslash) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"c:\\program files\\app\\", "C:\\program files\\app"},
      {"d:\\", "D:"},
      {"C:\\App", "C:\\App"},
      {"c:\\a\\\\", "C:\\a\\"},  // only one backslash goes
      {"", ""},
      {"\\", ""},
      // "昞" is 95 5C: its trail byte is not a backslash and must stay.
      {"c:\\\x95\x5c", "C:\\\x95\x5c"},
      {"c:\\\x95\x5c\\", "C:\\\x95\x5c"},
      {"\xd6\xd0\\", "\xd6\xd0"},  // a GBK first character is left as it is
  };
  for (const Case& c : cases) EXPECT_EQ(NormalisePath(c.in), c.out) << c.in;
}

TEST(SplitValuePath, KeyAndName) {
  struct Case {
    std::string path, key, name;
  } cases[] = {
      {"Software\\Qev\\Name", "Software\\Qev", "Name"},
      {"Software\\Qev\\", "Software\\Qev", ""},  // the default value
      {"Software", "Software", ""},
      {"", "", ""},
      {"Software\\软件\\名称", "Software\\软件", "名称"},
      {"Software\\\x95\x5c", "Software", "\x95\x5c"},  // trail byte 5C is no separator
  };
  for (const Case& c : cases) {
    RegistryValuePath split = SplitValuePath(c.path);
    EXPECT_EQ(split.key, c.key) << c.path;
    EXPECT_EQ(split.name, c.name) << c.path;
  }
}

TEST(WindowsVersion, FromVersionWord) {
  EXPECT_DOUBLE_EQ(VersionFromWord(0x0105), 5.1);
  EXPECT_DOUBLE_EQ(VersionFromWord(0x0206), 6.2);
  EXPECT_DOUBLE_EQ(VersionFromWord(0x000A), 10.0);
  EXPECT_GE(VersionFromWord(0x0006) + 1e-7, 6.0);  // the threshold of the newer behaviour
  EXPECT_LT(VersionFromWord(0x0205), 6.0);
}

std::set<std::string>* existing = nullptr;
bool InSet(const std::string& path) { return existing->count(path) > 0; }

TEST(UniqueTempName, HexNamesThatNeverRepeat) {
  std::set<std::string> taken = {"C:\\T\\ff.tmp", "C:\\T\\100.tmp", "C:\\T\\102.tmp"};
  existing = &taken;
  uint32_t counter = 0;
  // Same millisecond every time: names stay distinct and skip the existing ones.
  EXPECT_EQ(UniqueTempNameWith("C:\\T", 0xff, counter, InSet), "C:\\T\\101.tmp");
  EXPECT_EQ(UniqueTempNameWith("C:\\T\\", 0xff, counter, InSet), "C:\\T\\103.tmp");
  // A skipped name that disappears is not handed out again.
  taken.clear();
  EXPECT_EQ(UniqueTempNameWith("C:\\T\\", 0xff, counter, InSet), "C:\\T\\104.tmp");
  // No leading zeros, lower case; the number wraps like the tick count does.
  counter = 0;
  EXPECT_EQ(UniqueTempNameWith("/tmp/", 0xABC, counter, InSet), "/tmp/abc.tmp");
  counter = 1;
  EXPECT_EQ(UniqueTempNameWith("x", 0xFFFFFFFF, counter, InSet), "x\\0.tmp");
  // Processes started one after another (ids in a row, or in steps of four as Windows gives them)
  // count from starts more than three hours of ticks apart, so their names cannot meet.
  for (uint32_t step : {1u, 4u}) {
    std::vector<uint32_t> starts;
    for (uint32_t id = 1000; starts.size() < 64; id += step) starts.push_back(UniqueTempCounterStart(id));
    for (size_t i = 0; i < starts.size(); ++i) {
      for (size_t j = i + 1; j < starts.size(); ++j) {
        const uint32_t apart = std::min(starts[i] - starts[j], starts[j] - starts[i]);
        EXPECT_GT(apart, 3u * 3600 * 1000) << step << " " << i << " " << j;
      }
    }
  }
}

TEST(UniqueTempName, DefaultFolderIsTheTemporaryFolder) {
  std::string folder = SpecialFolder(kFolderTemp);
  ASSERT_FALSE(folder.empty());
  std::string a = UniqueTempName();
  std::string b = UniqueTempName();
  EXPECT_NE(a, b);
  EXPECT_EQ(a.compare(0, folder.size(), folder), 0) << a;
  EXPECT_EQ(a.substr(a.size() - 4), ".tmp");
}

TEST(ReadRegistryText, MissingValueIsEmpty) {
  EXPECT_EQ(ReadRegistryText(4, "SOFTWARE\\Qev\\NoSuchKey\\NoValue"), "");
  EXPECT_EQ(ReadRegistryText(9, "SOFTWARE\\x"), "");
}

}  // namespace
