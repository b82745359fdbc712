// The "ml" directory checks and their messages.
#include "install/directory_checks.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(DirectoryChecks, MlChecksRefuseWithTheirMessages) {
  const std::set<std::string> present = {"C:\\Game\\app.exe", "D:\\Tools\\app.exe\\"};
  auto exists = [&](const std::string& p) { return present.count(p) || present.count(p + "\\"); };
  struct Case {
    const char* path;
    const char* ch;
    const char* zwj;
    const char* message;
  };
  const Case cases[] = {
      {"C:\\程序\\Hello", "真", "", kDoubleBytePathMessage},
      {"C:\\程序\\Hello", "假", "", ""},
      {"C:\\程序\\Hello", "", "", ""},
      {"C:\\Program Files\\Hello", "真", "", ""},
      {"C:\\a\xA1\x40", "真", "", ""},                 // one lead byte alone is no pair
      {"C:\\Game", "", "真,app.exe", ""},
      {"D:\\Tools", "", "真,app.exe", ""},              // a folder of that name passes too
      {"C:\\Other", "", "真,app.exe", kRequiredEntryMessage},
      {"C:\\Other", "", "假,app.exe", ""},
      {"C:\\Other", "", "真", kRequiredEntryMessage},   // nothing named: "C:\Other\" must exist
      {"C:\\游戏", "真", "真,app.exe", kDoubleBytePathMessage},  // the first check speaks first
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstallPathRefusal(c.path, c.ch, c.zwj, exists), c.message) << c.path << c.zwj;
  }
  EXPECT_TRUE(ContainsDoubleByte("\xB0\xA1"));
  EXPECT_FALSE(ContainsDoubleByte("\x81"));
}

}  // namespace
