// OpenPackage from end to end on the native build: an installer file holding a configuration
// archive made by 7-Zip (password from the KEY resource, first two bytes altered) and a data
// block, opened with the real extraction and data source steps.
#include <gtest/gtest.h>

#include <cstdlib>

#include "package/container.h"
#include "package/open_package.h"
#include "package/package_test_util.h"
#include "package/startup.h"
#include "runtime/md5.h"

using package_test::ScratchFolder;

TEST(OpenPackageWithArchives, UnpacksConfigurationAndCopiesDataBlock) {
  ScratchFolder work("qev_open_package_archives");
  const char* tmp = std::getenv("TMPDIR");
  const std::string saved_tmp = tmp ? tmp : "";
  setenv("TMPDIR", (GbkToUtf8(work.path()) + "/tmp").c_str(), 1);
  CreateFolderLevels(work / "tmp");

  const std::string config = work / "config";
  CreateFolderLevels(config);
  ASSERT_TRUE(WriteWholeFile(config + "\\data.ini",
                             "[墨桐软件安装配置]\r\n安装包封装模式=x-0\r\n墨桐软件名称=产品\r\n"));
  ASSERT_TRUE(WriteWholeFile(config + "\\界面图片.jpg", std::string(5000, 'j')));
  ASSERT_TRUE(package_test::Make7z(config, work / "config.7z", "*",
                                   "-p" + Md5Hex("486")));
  package_test::WriteProduct(work / "product");
  ASSERT_TRUE(package_test::Make7z(work / "product", work / "data.7z", "*", ""));
  Bytes config_archive, data_archive;
  ASSERT_TRUE(ReadWholeFile(work / "config.7z", config_archive));
  ASSERT_TRUE(ReadWholeFile(work / "data.7z", data_archive));
  config_archive[0] = 'Q';
  config_archive[1] = 'E';

  const std::string program = work / "setup.exe";
  ASSERT_TRUE(WriteWholeFile(program, "MZ image" + Bytes(1, '\0') + Marker(kModeStartText) +
                                          "qev-1" + Marker(kModeEndText) +
                                          Marker(kConfigStartText) + config_archive +
                                          Marker(kConfigEndText) + Marker(kDataStartText) +
                                          data_archive + Marker(kDataEndText)));
  PackageHooks hooks = DefaultPackageHooks();
  hooks.command_line = [] { return std::string("\"C:\\setup.exe\""); };
  hooks.program_path = [&] { return program; };
  hooks.key_resource = [] { return Bytes("486"); };
  Startup() = StartupState();
  EXPECT_EQ(OpenPackage(hooks), 1);

  const StartupState& s = Startup();
  EXPECT_EQ(s.archive_password, Md5Hex("486"));
  ASSERT_TRUE(StartsWith(s.config_dir, SpecialFolder(kFolderTemp))) << s.config_dir;
  EXPECT_TRUE(EndsWith(s.config_dir, ".tmp\\")) << s.config_dir;
  Bytes text;
  ASSERT_TRUE(ReadWholeFile(s.config_dir + "界面图片.jpg", text));
  EXPECT_EQ(text, std::string(5000, 'j'));
  ASSERT_TRUE(ReadWholeFile(s.config_dir + "data.7z", text));
  EXPECT_EQ(text.substr(0, 2), "7z") << "the stored archive's signature is repaired";
  EXPECT_TRUE(EndsWith(s.data_source, ".tmp.7zqev")) << s.data_source;
  ASSERT_TRUE(ReadWholeFile(s.data_source, text));
  EXPECT_EQ(text, Marker(kDataStartText) + data_archive);

  if (saved_tmp.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", saved_tmp.c_str(), 1);
  }
}
