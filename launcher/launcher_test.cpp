// The launcher's decisions: the uninstaller's command line, when it waits, and the icon file.
#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include "runtime/items.h"

namespace {

TEST(Launcher, CommandLinePassesArgumentsAfterTheWordKeepingEachWhole) {
  EXPECT_EQ(UninstallerCommandLine("C:\\T\\Uninstall\\Q\\uninst.exe", "C:\\Program Files\\P",
                                   "C:\\T\\Uninstall\\Q", {"-hp", "/LOG=C:\\a b.log", "x\"y z"}),
            "C:\\T\\Uninstall\\Q\\uninst.exe \"C:\\Program Files\\P\" \"C:\\T\\Uninstall\\Q\" 卸载 "
            "-hp \"/LOG=C:\\a b.log\" x\"y z ");
  EXPECT_EQ(UninstallerCommandLine("u.exe", "D", "W", {}), "u.exe \"D\" \"W\" 卸载 ");
}

TEST(Launcher, WaitsOnlyForABackgroundUninstall) {
  const std::string record = "[软件卸载配置]\r\n卸载模式=\r\n[安装包命令行]\r\nhp=/silent\r\n";
  const Bytes data = "MZ image" + std::string(1, '\0') + Marker("uninst_iniA") + record +
                     Marker("uninst_iniB") + std::string(1, '\0') + Marker("skinA") + Marker("skinB");
  EXPECT_EQ(UninstallRecordOf(data), record);
  EXPECT_EQ(UninstallRecordOf("no groups"), "");
  struct Case {
    std::string record;
    std::vector<std::string> arguments;
    bool waits;
  } cases[] = {
      {record, {"/silent"}, true},
      {record, {"-hp"}, false},
      {record, {}, false},
      {"[软件卸载配置]\r\n卸载模式=后台卸载\r\n", {}, true},
      {"[软件卸载配置]\r\n卸载模式=直接卸载\r\n", {"-hp"}, false},  // an empty switch never matches
      {"", {"-hp"}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunsInBackground(c.record, c.arguments), c.waits) << c.record;
  }
}

TEST(Launcher, IconFileFromGroupListsImagesWithOffsets) {
  // A group of two images (ids 7 and 9), as a module stores it.
  Bytes group("\0\0\1\0\2\0", 6);
  group += Bytes("\x10\x10\0\0\1\0\x20\0\x99\0\0\0\x07\0", 14);
  group += Bytes("\x20\x20\0\0\1\0\x20\0\x99\0\0\0\x09\0", 14);
  EXPECT_EQ(IconGroupIds(group), (std::vector<int>{7, 9}));
  const Bytes icon = IconFileFromGroup(group, [](int id) { return std::string(size_t(id), 'a' + char(id)); });
  Bytes expected("\0\0\1\0\2\0", 6);
  expected += Bytes("\x10\x10\0\0\1\0\x20\0\x07\0\0\0\x26\0\0\0", 16);  // 7 bytes at 6 + 32
  expected += Bytes("\x20\x20\0\0\1\0\x20\0\x09\0\0\0\x2d\0\0\0", 16);  // 9 bytes after them
  expected += std::string(7, 'h') + std::string(9, 'j');
  EXPECT_EQ(icon, expected);
  EXPECT_EQ(IconFileFromGroupImages(Bytes("\0\0\1\0\5\0", 6), {}), "");  // count beyond the bytes
  EXPECT_EQ(IconGroupIds(Bytes("\0\0\2\0\1\0", 6)), std::vector<int>{});  // not an icon group
}

}  // namespace
