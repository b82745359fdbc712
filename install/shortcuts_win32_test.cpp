// Shortcuts under Windows: real .lnk files written through the shell object, the empty-folder
// test, the pin (which finds no verb where the shell lacks its caption) and the whole step over
// folders of a scratch directory.
#include <windows.h>

#include <gtest/gtest.h>

#include "environment/system.h"
#include "install/shortcuts.h"
#include "runtime/files.h"

namespace {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = UniqueTempName() + "\\";
    ASSERT_TRUE(CreateFolderLevels(root_ + "程序\\bin"));
    target_ = root_ + "程序\\bin\\app.exe";
    ASSERT_TRUE(WriteWholeFile(target_, "MZ"));
  }
  void TearDown() override { RemoveFolderTree(root_); }

  // A shell link file starts with its header size, 0x4C, as a little-endian 32-bit number.
  static bool IsShellLink(const std::string& path) {
    Bytes content;
    return ReadWholeFile(path, content) && content.compare(0, 4, std::string("\x4C\0\0\0", 4)) == 0;
  }

  std::string root_;
  std::string target_;
};

TEST_F(ShellTest, CreateOneShortcut) {
  struct Case {
    const char* name;
    std::string link, target, icon;
    bool ok;
    std::string file;  // expected link file, empty when none
  } cases[] = {
      {"plain", root_ + "链接", target_, "", true, root_ + "链接.lnk"},
      {"with icon", root_ + "图标.LNK", target_, target_ + ",0", true, root_ + "图标.LNK"},
      // Made twice: the second replaces the first.
      {"again", root_ + "链接", target_, "", true, root_ + "链接.lnk"},
      {"target without folder", root_ + "无", "app.exe", "", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateOneShortcut(c.link, c.target, "-a 1", c.icon, 0, "说明", ""), c.ok) << c.name;
    if (!c.file.empty()) {
      EXPECT_TRUE(IsShellLink(c.file)) << c.name;
    }
  }
  EXPECT_FALSE(PathExists(root_ + "无.lnk"));
  // The properties reached the file: its string data is UTF-16.
  Bytes content;
  ASSERT_TRUE(ReadWholeFile(root_ + "链接.lnk", content));
  for (const std::u16string& text : {std::u16string(u"-a 1"), std::u16string(u"说明")}) {
    const Bytes bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    EXPECT_NE(content.find(bytes), std::string::npos);
  }
  EXPECT_FALSE(PathExists(root_ + "无"));
}

TEST_F(ShellTest, FolderIsEmptyAndPin) {
  ASSERT_TRUE(CreateFolderLevels(root_ + "空"));
  ASSERT_TRUE(CreateFolderLevels(root_ + "子\\空"));
  struct Case {
    std::string folder;
    bool empty;
  } cases[] = {
      {root_ + "空", true},
      {root_ + "空\\", true},
      {root_ + "子", false},        // holds a folder
      {root_ + "程序\\bin", false},  // holds a file
      {root_ + "没有", false},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderIsEmpty(c.folder), c.empty) << c.folder;

  // Whatever the shell offers, pinning and unpinning return and leave the program alone.
  PinToTaskbar(root_ + "程序", "bin\\app.exe", 1);
  PinToTaskbar(root_ + "程序\\bin", "app.exe", 0);
  EXPECT_TRUE(FileExists(target_));
}

TEST_F(ShellTest, WholeStepInScratchFolders) {
  ShortcutContext context;
  context.install_dir = root_ + "程序";
  context.desktop_folder = root_ + "桌面\\";
  context.programs_folder = root_ + "菜单\\";
  context.quick_launch_folder = root_ + "快速";
  context.product_name = "产品";
  context.main_program = "bin\\app.exe";
  context.generate_uninstaller = true;
  context.windows_version = 6.1;
  context.switches = {1, 0, 1};
  VariableTable table;
  table.variables = {{"%Desktop%", root_ + "桌面"}, {"%MenuDir%", root_ + "菜单"}};
  context.variables = &table;
  context.file_exists = [](const std::string& path) { return FileExists(path); };

  ShortcutSpec program;
  program.name = "产品";
  program.target = "bin\\app.exe";
  program.location = "%Desktop%,%MenuDir%\\产品,%MenuDir%\\工具%AC%帮助";
  ShortcutSpec uninstaller = program;
  uninstaller.name = "卸载";
  uninstaller.target = "%Uninst.exe%";
  uninstaller.location = "%Desktop%";
  std::vector<ShortcutSpec> specs = {program, uninstaller};
  std::vector<std::string> log;
  CreateShortcutsWith(specs, context, SystemShortcutEffects(),
                      [&](const std::string& line) { log.push_back(line); });

  EXPECT_TRUE(IsShellLink(root_ + "桌面\\产品.lnk"));
  EXPECT_TRUE(IsShellLink(root_ + "桌面\\卸载.lnk"));
  EXPECT_TRUE(IsShellLink(root_ + "菜单\\工具，帮助\\产品.lnk"));
  // Start-menu links were not allowed: the product's folder was made, stayed empty and is gone.
  EXPECT_FALSE(PathExists(root_ + "菜单\\产品"));
  EXPECT_EQ(specs[1].target, "uninst.exe");
  EXPECT_EQ(log, (std::vector<std::string>{"创建快捷方式: " + root_ + "桌面\\产品",
                                           "创建快捷方式: " + root_ + "菜单\\工具，帮助\\产品"}));
}

}  // namespace
