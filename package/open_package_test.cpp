// Tests of OpenPackage over program files made in a temporary folder, with the process, resource
// and extraction steps replaced by hooks.
#include "package/open_package.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "environment/system.h"
#include "package/cleanup.h"
#include "package/container.h"
#include "package/startup.h"
#include "runtime/files.h"

namespace {

// Points the temporary folder of this process at `folder` (empty: back to `saved`).
void SetTempFolder(const std::string& value) {
#ifdef _WIN32
  _putenv_s("TMP", value.c_str());
#else
  if (value.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", value.c_str(), 1);
  }
#endif
}

class OpenPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Startup() = StartupState();
    folder_ = SpecialFolder(kFolderTemp) + "qev_open_package_" + std::to_string(getpid());
    ASSERT_TRUE(CreateFolderLevels(folder_));
    program_ = folder_ + "\\setup.exe";
  }
  void TearDown() override {
    RemoveFolderTree(folder_);
    if (!Startup().config_dir.empty() && Startup().config_dir != folder_ + "\\") {
      RemoveFolderTree(Startup().config_dir);
    }
  }
  PackageHooks Hooks(const std::string& command_line) {
    PackageHooks h;
    h.command_line = [=] { return command_line; };
    h.program_path = [this] { return program_; };
    h.key_resource = [] { return Bytes("486"); };
    h.extract_configuration = [this](const std::string& archive, const std::string& folder,
                                     const std::string& password) {
      calls_.push_back("extract " + archive + " " + folder + " " + password);
      return WriteWholeFile(folder + "data.ini", data_ini_);
    };
    h.settle_data_source = [this] { calls_.push_back("settle"); };
    h.build_variables = [this] {
      calls_.push_back("variables " + Startup().install_mode);
    };
    return h;
  }
  std::string folder_, program_;
  std::string data_ini_;
  std::vector<std::string> calls_;
};

const Bytes kImage = "MZ\x90\0\x03\0\0\0program image";

Bytes WithModeRecord(const std::string& text) {
  return kImage + Bytes(1, '\0') + Marker(kModeStartText) + text + Marker(kModeEndText);
}

TEST_F(OpenPackageTest, RunModeFromFileAndTestArgument) {
  struct Case {
    const char* what;
    Bytes file;
    std::string line;
    int mode;
    bool config_in_program_folder;
  };
  const Case cases[] = {
      {"nothing appended", kImage, "\"C:\\setup.exe\"", 0, false},
      {"uninstaller", WithModeRecord("qev-2"), "\"C:\\setup.exe\"", 2, false},
      {"other run-mode text", WithModeRecord("qev-3"), "\"C:\\setup.exe\"", 0, false},
      {"run-mode text cut at NUL", WithModeRecord(Bytes("qev-2\0x", 7)), "\"C:\\setup.exe\"", 2, false},
      {"test mode without package", kImage, "\"C:\\setup.exe\" test", 1, true},
      {"test mode wins over uninstaller", WithModeRecord("qev-2"), "\"C:\\setup.exe\" test", 1, true},
      {"test is case-sensitive", kImage, "\"C:\\setup.exe\" Test", 0, false},
      {"installer without configuration", WithModeRecord("qev-1"), "\"C:\\setup.exe\"", 1, false},
  };
  for (const Case& c : cases) {
    Startup() = StartupState();
    calls_.clear();
    ASSERT_TRUE(WriteWholeFile(program_, c.file));
    EXPECT_EQ(OpenPackage(Hooks(c.line)), c.mode) << c.what;
    EXPECT_EQ(Startup().run_mode, c.mode) << c.what;
    // Test mode reads copies of the program folder's configuration files.
    EXPECT_EQ(!Startup().config_dir.empty(), c.config_in_program_folder) << c.what;
    EXPECT_NE(Startup().config_dir, folder_ + "\\") << c.what;
    RemoveTemporaryPaths();
    EXPECT_EQ(Startup().data_source, program_) << c.what;
    // Nothing past the run mode happens for a non-installer.
    EXPECT_EQ(calls_.empty(), c.mode != 1) << c.what;
  }
}

TEST_F(OpenPackageTest, InstallerUnpacksConfigurationAndReadsSwitches) {
  const Bytes archive = Bytes("XY\xBC\xAF\x27\x1C\0\x03", 8) + "archive body";
  ASSERT_TRUE(WriteWholeFile(program_, WithModeRecord("qev-1") + Marker(kConfigStartText) +
                                           archive + Marker(kConfigEndText)));
  data_ini_ =
      "[安装包命令行]\r\np=/D=\r\njp=/auto\r\n[墨桐软件安装配置]\r\n"
      "选择框_显示空间=真\r\n压缩原大小=123456789012\r\n";
  const std::string line = "\"C:\\my setup.exe\"  /D=\"C:\\Program Files\\产品 名\" /auto -jp -hideend ";

  EXPECT_EQ(OpenPackage(Hooks(line)), 1);
  const StartupState& s = Startup();
  EXPECT_EQ(s.run_mode_text, "qev-1");
  ASSERT_TRUE(EndsWith(s.config_dir, ".tmp\\")) << s.config_dir;
  EXPECT_TRUE(FolderExists(s.config_dir));
  Bytes unpacked;
  ASSERT_TRUE(ReadWholeFile(s.config_dir + "data.7z", unpacked));
  EXPECT_EQ(unpacked, "7z" + archive.substr(2));
  EXPECT_EQ(s.archive_password, "7d04bbbe5494ae9d2f5a76aa1c00fa2f");
  ASSERT_EQ(calls_.size(), 3u);
  EXPECT_EQ(calls_[0], "extract " + s.config_dir + "data.7z " + s.config_dir + " " + s.archive_password);
  EXPECT_EQ(calls_[1], "settle");
  // The variable table is built after the switches are known.
  EXPECT_EQ(calls_[2], "variables 直接安装");

  // A quote ends an unquoted run: the path switch and its quoted folder are two arguments.
  EXPECT_EQ(s.arguments, (std::vector<std::string>{"/D=", "C:\\Program Files\\产品 名", "/auto",
                                                   "-jp", "-hideend"}));
  EXPECT_EQ(s.argument_text, "/D=\"C:\\Program Files\\产品 名\" /auto -jp -hideend");
  EXPECT_EQ(s.install_dir_override, "C:\\Program Files\\产品 名");
  EXPECT_EQ(s.install_mode, "直接安装");
  EXPECT_EQ(s.show_finish_page, -1);
  EXPECT_TRUE(s.show_space);
  EXPECT_EQ(s.unpacked_size, 123456789012);
  EXPECT_EQ(s.data_source, program_);
}

TEST_F(OpenPackageTest, TestModeReadsSwitchesFromProgramFolder) {
  ASSERT_TRUE(WriteWholeFile(program_, kImage));
  ASSERT_TRUE(WriteWholeFile(folder_ + "\\data.ini", "[安装包命令行]\r\nhp=/silent\r\n"));
  ASSERT_TRUE(WriteWholeFile(folder_ + "\\GUItext.ini", "[t]\r\na=%ProductName%\r\n"));
  ASSERT_TRUE(WriteWholeFile(folder_ + "\\other.txt", "not configuration"));
  EXPECT_EQ(OpenPackage(Hooks("\"C:\\setup.exe\" test -hp -jp")), 1);
  // The run works on copies in a fresh temporary folder, removed by the clean-up; the publisher's
  // files stay as they are.
  const std::string copies = Startup().config_dir;
  EXPECT_NE(copies, folder_ + "\\");
  EXPECT_TRUE(StartsWith(copies, SpecialFolder(kFolderTemp))) << copies;
  Bytes text;
  EXPECT_TRUE(ReadWholeFile(copies + "GUItext.ini", text));
  EXPECT_EQ(text, "[t]\r\na=%ProductName%\r\n");
  EXPECT_TRUE(FileExists(copies + "data.ini"));
  EXPECT_FALSE(FileExists(copies + "other.txt"));
  EXPECT_FALSE(FileExists(copies + "setup.exe"));
  RemoveTemporaryPaths();
  EXPECT_FALSE(FolderExists(copies));
  EXPECT_TRUE(FileExists(folder_ + "\\GUItext.ini"));
  EXPECT_EQ(Startup().install_mode, "直接安装");  // -hp is not the configured text
  EXPECT_FALSE(Startup().show_space);
  Startup() = StartupState();
  EXPECT_EQ(OpenPackage(Hooks("\"C:\\setup.exe\" test /silent")), 1);
  EXPECT_EQ(Startup().install_mode, "后台安装");
  EXPECT_EQ(Startup().show_finish_page, 0);

  // The log switch is taken out before the path switch reads to the last quote.
  ASSERT_TRUE(WriteWholeFile(folder_ + "\\data.ini", "[安装包命令行]\r\np=/D=\r\n"));
  Startup() = StartupState();
  EXPECT_EQ(OpenPackage(Hooks("\"C:\\setup.exe\" test /D=\"C:\\My App\" /LOG=\"C:\\a b.log\"")), 1);
  EXPECT_EQ(Startup().log_path, "C:\\a b.log");
  EXPECT_EQ(Startup().argument_text, "test /D=\"C:\\My App\"");
  EXPECT_EQ(Startup().install_dir_override, "C:\\My App");
}

TEST_F(OpenPackageTest, StartupClearsPluginFolderAndWritesPhaseTexts) {
#ifdef _WIN32
  const char* variable = "TMP";
#else
  const char* variable = "TMPDIR";
#endif
  const char* old = getenv(variable);
  const std::string saved = old ? old : "";
  SetTempFolder(folder_);
  const std::string plugins = folder_ + "\\qev_dll";
  ASSERT_TRUE(CreateOneFolder(plugins));
  ASSERT_TRUE(WriteWholeFile(plugins + "\\old.dll", "x"));
  ASSERT_TRUE(WriteWholeFile(program_, WithModeRecord("qev-2")));

  EXPECT_EQ(PrepareStartup(Hooks("\"C:\\setup.exe\"")), 2);
  EXPECT_FALSE(PathExists(plugins));  // and the phase text went nowhere
  EXPECT_EQ(Startup().window_visible, 1);
  ASSERT_TRUE(CreateOneFolder(plugins));
  EXPECT_TRUE(WritePhaseText(kPhaseWizardShown));
  Bytes phase;
  ASSERT_TRUE(ReadWholeFile(plugins + "\\ct.ini", phase));
  EXPECT_EQ(phase, "\xB0\xB2\xD7\xB0\xB0\xFC\xB1\xEA\xCA\xB6 \xA3\xBD 1_end");

  SetTempFolder(saved);
}

}  // namespace
