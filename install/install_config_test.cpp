// Tests of the configuration reader over data.ini files written into a temporary folder, with
// registry values planted through the reader's registry interface.
#include "install/install_config.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <map>

#include "environment/system.h"
#include "package/container.h"
#include "package/startup.h"
#include "runtime/data_cipher.h"
#include "runtime/files.h"
#include "runtime/profile.h"

namespace {

using Registry = std::map<std::pair<int, std::string>, std::string>;

RegistryTextReader Planted(const Registry& values, std::vector<std::string>* asked = nullptr) {
  return [values, asked](int root, const std::string& path) {
    if (asked) asked->push_back(std::to_string(root) + ":" + path);
    auto it = values.find({root, path});
    return it == values.end() ? std::string() : it->second;
  };
}

const char kPreviousLocation[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\产品\\InstallLocation";

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = SpecialFolder(kFolderTemp) + "qev_install_config_" + std::to_string(getpid()) + "\\";
    ASSERT_TRUE(CreateFolderLevels(dir_));
  }
  void TearDown() override { RemoveFolderTree(dir_); }
  void Put(const std::string& name, const std::string& content) {
    ASSERT_TRUE(WriteWholeFile(dir_ + name, content));
  }
  InstallConfig Read(const std::string& data_ini, const CommandLineChoices& choices = {},
                     const Registry& registry = {}) {
    Put("data.ini", data_ini);
    return ReadInstallConfig(dir_, choices, Planted(registry));
  }
  std::string dir_;
};

TEST_F(ConfigFile, MissingFileGivesEmptyConfiguration) {
  const InstallConfig c = ReadInstallConfig(dir_, {}, Planted({}));
  EXPECT_EQ(c.product_name, "");
  EXPECT_EQ(c.install_dir, "");
  EXPECT_FALSE(c.GeneratesUninstaller());
  EXPECT_EQ(c.registry_view, 32);
  EXPECT_EQ(c.show_finish_page, -1);
  EXPECT_EQ(c.finish_options_top, 132);
  EXPECT_TRUE(c.finish_options.empty());
  EXPECT_TRUE(c.shortcuts.empty());
  EXPECT_EQ(c.uninstall_options, std::vector<std::string>{""});
  EXPECT_EQ(c.script_store, "");
  EXPECT_EQ(c.licence, "");
  EXPECT_TRUE(c.picture.bytes.empty());
}

// One key of the main section at a time: its kind (text, flag only for "真", number) and default.
TEST_F(ConfigFile, MainSectionKeysByKind) {
  using Get = std::function<std::string(const InstallConfig&)>;
  auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
  const Get uninstaller = [](const InstallConfig& c) { return std::to_string(c.generate_uninstaller) + (c.GeneratesUninstaller() ? "+" : "-"); };
  const Get view = [](const InstallConfig& c) { return std::to_string(c.registry_view); };
  const Get agree = [&](const InstallConfig& c) { return flag(c.agree_preset); };
  const Get taskbar = [&](const InstallConfig& c) { return flag(c.taskbar_progress); };
  const Get log = [](const InstallConfig& c) { return std::to_string(c.log_display); };
  const Get finish = [](const InstallConfig& c) { return std::to_string(c.show_finish_page); };
  const Get mode = [](const InstallConfig& c) { return c.install_mode; };
  const Get append = [&](const InstallConfig& c) { return flag(c.auto_append_folder); };
  const Get checks = [](const InstallConfig& c) {
    return c.basic_checks[0] + "|" + c.basic_checks[1] + "|" + c.basic_checks[2];
  };
  struct Case {
    const char* key;
    const char* value;  // nullptr: key absent
    Get get;
    std::string expected;
  } cases[] = {
      {"是否生成卸载程序", "1", uninstaller, "1+"},
      {"是否生成卸载程序", "真", uninstaller, "0-"},
      {"是否生成卸载程序", "2", uninstaller, "2-"},
      {"是否生成卸载程序", "1abc", uninstaller, "1+"},
      {"I_reg", "真", view, "64"},
      {"I_reg", "1", view, "32"},
      {"I_reg", nullptr, view, "32"},
      {"同意条款k", "真", agree, "true"},
      {"同意条款k", "假", agree, "false"},
      {"同意条款k", "TRUE", agree, "false"},
      {"任务栏进度", "真真", taskbar, "false"},
      {"安装过程_列表", "2", log, "2"},
      {"安装过程_列表", "x", log, "0"},
      {"安装后是否显示完成界面", "真", finish, "1"},
      {"安装后是否显示完成界面", "假", finish, "-1"},
      {"安装后是否显示完成界面", nullptr, finish, "-1"},
      {"安装模式", "后台安装", mode, "后台安装"},
      {"安装模式", nullptr, mode, ""},
      {"自动添加路径", "真", append, "true"},
      {"基本组件勾选", "真，，真，真", checks, "真||真"},
      {"基本组件勾选", "真", checks, "真||"},
      {"基本组件勾选", "真,假", checks, "真,假||"},
  };
  for (const Case& c : cases) {
    std::string ini = "[墨桐软件安装配置]\r\n";
    if (c.value) ini += std::string(c.key) + "=" + c.value + "\r\n";
    EXPECT_EQ(c.get(Read(ini)), c.expected) << c.key << "=" << (c.value ? c.value : "(absent)");
  }
}

TEST_F(ConfigFile, TextsAndSmallSections) {
  const InstallConfig c = Read(
      "[墨桐软件安装配置]\r\n墨桐软件名称=产品\r\n压缩包文件名=data.7z\r\n公司名称=墨桐\r\n"
      "浏览目录自动添加=Product\r\n软件版本=1.2\r\n安装密码=0123abcd\r\n包内的程序名=bin\\app.exe\r\n"
      "safe=secret\r\n卸载模式=m2\r\n"
      "[安装包命令行]\r\njp=/J\r\nhideend=/E\r\nhp=/H\r\n"
      "[ml]\r\nch=真\r\nzwj=Product\r\n"
      "[界面_可视]\r\n选择组件可视=真\r\n浏览目录可视=假\r\n");
  EXPECT_EQ(c.product_name, "产品");
  EXPECT_EQ(c.archive_name, "data.7z");
  EXPECT_EQ(c.company_name, "墨桐");
  EXPECT_EQ(c.append_folder_name, "Product");
  EXPECT_EQ(c.version, "1.2");
  EXPECT_EQ(c.password_digest, "0123abcd");
  EXPECT_EQ(c.main_program, "bin\\app.exe");
  EXPECT_EQ(c.data_password, "secret");
  EXPECT_EQ(c.uninstall_mode, "m2");
  EXPECT_EQ(c.switch_direct + c.switch_hide_end + c.switch_hidden, "/J/E/H");
  EXPECT_EQ(c.no_double_byte_path, "真");
  EXPECT_EQ(c.required_entry, "Product");
  EXPECT_TRUE(c.components_page_visible);
  EXPECT_FALSE(c.directory_page_visible);
}

TEST_F(ConfigFile, NumberedLists) {
  const InstallConfig c = Read(
      "[新建快捷方式参数]\r\n欲运行的次数=2\r\n参数快捷方式名1=App\r\n参数文件名1=app.exe\r\n"
      "参数命令行1=-x\r\n参数生成位置1=%Desktop%,%MenuDir%\r\n参数是否卸载1=真\r\n"
      "快捷方式图标1=app.ico\r\n快捷方式描述1=the app\r\n参数快捷方式名2=Second\r\n"
      "参数是否卸载2=1\r\n参数快捷方式名3=beyond the count\r\n"
      "[解压后运行的参数]\r\n欲运行的次数=4\r\n"
      "是否外部运行1=真\r\n参数运行文件名1=**C:\\My Tools\\t.exe** /q\r\n是否隐藏窗口1=真\r\n"
      "是否等待返回1=假\r\n作用方案1=解压后运行\r\n"
      "参数运行文件名2=setup-helper.exe\r\n作用方案2=安装前运行\r\n"
      "参数运行文件名3=after.exe\r\n作用方案3=\"解压后运行 \"\r\n"
      "参数运行文件名4=last.exe\r\n作用方案4=解压后运行\r\n"
      "[卸载时运行命令]\r\n欲运行的次数=1\r\n是否外部运行1=真\r\n参数运行文件名1=**x.exe**\r\n"
      "是否隐藏窗口1=真\r\n是否等待返回1=真\r\n"
      "[卸载选项_列表]\r\ny=10,200\r\n次数=2\r\n标题1=Keep data\r\n可视1=真\r\n选中1=假\r\n"
      "程序1=[真]removedump(data)\r\n标题2=Two\r\n");

  ASSERT_EQ(c.shortcuts.size(), 2u);
  const ShortcutSpec& s = c.shortcuts[0];
  EXPECT_EQ(s.name + "|" + s.target + "|" + s.arguments + "|" + s.location + "|" + s.icon + "|" +
                s.description,
            "App|app.exe|-x|%Desktop%,%MenuDir%|app.ico|the app");
  EXPECT_TRUE(s.remove_on_uninstall);
  EXPECT_EQ(c.shortcuts[1].name, "Second");
  EXPECT_FALSE(c.shortcuts[1].remove_on_uninstall);  // "1" is no flag

  // "**" becomes a quote; only the exact phase text goes after extraction, in file order.
  ASSERT_EQ(c.after_extraction.size(), 2u);
  EXPECT_EQ(c.after_extraction[0].command, "\"C:\\My Tools\\t.exe\" /q");
  EXPECT_TRUE(c.after_extraction[0].external);
  EXPECT_TRUE(c.after_extraction[0].hidden);
  EXPECT_FALSE(c.after_extraction[0].wait);
  EXPECT_EQ(c.after_extraction[1].command, "last.exe");
  ASSERT_EQ(c.before_install.size(), 2u);
  EXPECT_EQ(c.before_install[0].command, "setup-helper.exe");
  EXPECT_EQ(c.before_install[1].command, "after.exe");
  EXPECT_EQ(c.before_install[1].phase, "解压后运行 ");

  // Uninstall commands keep "**" and the external switch as text.
  ASSERT_EQ(c.uninstall_commands.size(), 1u);
  EXPECT_EQ(c.uninstall_commands[0].command, "**x.exe**");
  EXPECT_EQ(c.uninstall_commands[0].external, "真");
  EXPECT_TRUE(c.uninstall_commands[0].hidden && c.uninstall_commands[0].wait);

  EXPECT_EQ(c.uninstall_options,
            (std::vector<std::string>{"10,200", "Keep data$,真$,假$,[真]removedump(data)",
                                      "Two$,$,$,"}));
}

TEST_F(ConfigFile, AbsurdCountsAreBounded) {
  const InstallConfig c = Read("[新建快捷方式参数]\r\n欲运行的次数=99999999999\r\n"
                               "[解压后运行的参数]\r\n欲运行的次数=-5\r\n");
  EXPECT_LE(c.shortcuts.size(), 10000u);
  EXPECT_TRUE(c.before_install.empty());
}

TEST_F(ConfigFile, CommandLineChoicesWinOverTheFile) {
  const std::string ini =
      "[墨桐软件安装配置]\r\n安装模式=直接安装\r\n安装后是否显示完成界面=真\r\n安装位置=C:\\File\r\n";
  CommandLineChoices choices;
  choices.install_mode = "后台安装";
  choices.show_finish_page = -1;
  choices.install_dir = "D:\\Given";
  std::vector<std::string> asked;
  Put("data.ini", ini);
  const InstallConfig c = ReadInstallConfig(dir_, choices, Planted({}, &asked));
  EXPECT_EQ(c.install_mode, "后台安装");
  EXPECT_EQ(c.show_finish_page, -1);
  EXPECT_EQ(c.install_dir, "D:\\Given");
  EXPECT_TRUE(asked.empty());

  const InstallConfig file_only = Read(ini);
  EXPECT_EQ(file_only.install_mode, "直接安装");
  EXPECT_EQ(file_only.show_finish_page, 1);
  EXPECT_EQ(file_only.install_dir, "C:\\File");
}

TEST_F(ConfigFile, LoadWritesTheEffectiveModesIntoStartup) {
  Put("data.ini", "[墨桐软件安装配置]\r\n安装模式=直接安装\r\n安装后是否显示完成界面=真\r\n");
  StartupState startup;
  startup.config_dir = dir_;
  const InstallConfig& c = LoadInstallConfig(startup, Planted({}));
  EXPECT_EQ(&c, &CurrentInstallConfig());
  EXPECT_EQ(startup.install_mode, "直接安装");
  EXPECT_EQ(startup.show_finish_page, 1);

  StartupState bare;  // no configuration directory: nothing is read from the working folder
  EXPECT_EQ(LoadInstallConfig(bare, Planted({})).show_finish_page, -1);
}

TEST_F(ConfigFile, FilesBesideDataIni) {
  const std::string store = "Treelists\r\n｛\r\nInstall(){A$,-1$,1$,假\r\n}\r\n｝\r\n\r\n";
  Put("choomarlowe.ini", EncipherData(store, "marlowe"));
  Put("界面图片.jpg", "\x89PNG\r\n\x1a\n...");
  Put("界面小图片.jpg", "\xff\xd8\xff\xe0 jpeg");
  Put("界面安装时图像.jpg", "\x89PN");
  Put("卸载程序图标.ico", std::string("\0\0\1\0", 4));
  Put("Except.ini", "%InstallPath%\\bin,-1\r\na.dll,0\r\n");
  const InstallConfig c = Read("");
  EXPECT_EQ(c.script_store, store);
  EXPECT_TRUE(c.picture.IsPng());
  EXPECT_FALSE(c.small_picture.IsPng());
  EXPECT_FALSE(c.installing_picture.IsPng());
  EXPECT_EQ(c.small_picture.bytes, "\xff\xd8\xff\xe0 jpeg");
  EXPECT_TRUE(c.large_picture.bytes.empty());
  EXPECT_EQ(c.uninstaller_icon.size(), 4u);
  EXPECT_TRUE(c.setup_icon.empty());
  EXPECT_EQ(c.exclusions, "%InstallPath%\\bin,-1\r\na.dll,0\r\n");

  // A store that is not enciphered deciphers to nothing: an empty tree rather than garbage.
  Put("choomarlowe.ini", store);
  EXPECT_EQ(Read("").script_store, "");
}

TEST_F(ConfigFile, LicenceItemTravelsInDataIni) {
  const std::string ini = "[墨桐软件安装配置]\r\n墨桐软件名称=产品\r\n\r\n";
  const std::string licence = "Terms\r\n[ml]\r\nch=真\r\n墨桐软件名称=other\r\n";
  InstallConfig c = Read(ini + AppendItem("", "自述文本_开始", licence) + "\r\n[界面_可视]\r\n选择组件可视=真\r\n");
  EXPECT_EQ(c.licence, licence);
  // The licence's lines are no configuration; the INI text after the item still is.
  EXPECT_EQ(c.no_double_byte_path, "");
  EXPECT_EQ(c.product_name, "产品");
  EXPECT_TRUE(c.components_page_visible);

  EXPECT_EQ(Read(ini + AppendItem("", "自述文本_开始", "")).licence, "");
  EXPECT_EQ(Read(ini).licence, "");
}

TEST(InstallDirectory, PreviousLocationThenDefaultWithRegistryToken) {
  const Registry registry = {
      {{4, kPreviousLocation}, "E:\\Old"},
      {{3, "Software\\Maker\\Path"}, "D:\\Maker"},
      {{4, "SOFTWARE\\Maker\\"}, "F:\\Default value"},
  };
  struct Case {
    const char* prefer;
    const char* product;
    const char* location;
    const char* expected;
  } cases[] = {
      {"", "产品", "C:\\New", "E:\\Old"},
      {"真", "产品", "C:\\New", "E:\\Old"},
      {"假", "产品", "C:\\New", "C:\\New"},
      {"", "其他", "C:\\New", "C:\\New"},
      {"假", "产品", "GetReg(HKEY_CURRENT_USER\\Software\\Maker\\Path)\\App", "D:\\Maker\\App"},
      {"假", "", "GetReg(HKEY_CURRENT_USER\\Software\\Maker\\Path);GetReg(HKEY_CURRENT_USER\\Software\\Maker\\Path)",
       "D:\\Maker;D:\\Maker"},
      {"假", "", "GetReg(HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\)\\X", "F:\\Default value\\X"},
      {"假", "", "GetReg(HKEY_CURRENT_USER\\Software\\Missing\\V)\\App", "\\App"},
      {"假", "", "GetReg(HKCU\\Software\\Maker\\Path)\\App", "\\App"},
      {"假", "", "C:\\GetReg()\\App", "C:\\GetReg()\\App"},
      {"假", "", "C:\\GetReg(HKEY_CURRENT_USER\\Software\\Maker\\Path", "C:\\GetReg(HKEY_CURRENT_USER\\Software\\Maker\\Path"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InitialInstallDirectory(c.prefer, c.product, c.location, Planted(registry)),
              c.expected)
        << c.prefer << " " << c.location;
  }
}

TEST(InstallDirectory, PreviousLocationInEitherView) {
  const int view32 = 4 + kRootIn32BitView;
  struct Case {
    Registry registry;
    const char* expected;
  } cases[] = {
      {{{{4, kPreviousLocation}, "E:\\View64"}, {{view32, kPreviousLocation}, "E:\\View32"}},
       "E:\\View64"},
      {{{{view32, kPreviousLocation}, "E:\\View32"}}, "E:\\View32"},
      {{{{view32, "SOFTWARE\\Other\\InstallLocation"}, "E:\\Other"}}, "C:\\New"},
      {{}, "C:\\New"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InitialInstallDirectory("", "产品", "C:\\New", Planted(c.registry)), c.expected);
  // Not looked up at all when the previous location is not wanted.
  std::vector<std::string> asked;
  InitialInstallDirectory("假", "产品", "C:\\New", Planted({}, &asked));
  EXPECT_TRUE(asked.empty());
}

TEST(FinishOptions, FixedOptionsAndTheList) {
  struct Case {
    const char* name;
    std::string ini;
    const char* main_program;
    std::vector<std::string> expected;  // "title|command|visible|ticked"
  } cases[] = {
      {"web address without http gets it",
       "[完成后选项_访问网络]\r\n网页地址=www.example.com\r\n选项标题=Visit\r\n显示=真\r\n", "",
       {"Visit|http://www.example.com|1|1"}},
      {"https is left as it is", "[完成后选项_访问网络]\r\n网页地址=https://x.org\r\n", "",
       {"|https://x.org|0|1"}},
      {"main program needs its name and its switch",
       "[完成后选项_主运行程序]\r\n显示=真\r\n[完成后选项_执行程序]\r\n文件路径=readme.txt\r\n选项标题=Read\r\n",
       "app.exe",
       {"运行 产品 1.0|\"%InstallPath%\\app.exe\"|1|1", "Read|\"%InstallPath%\\readme.txt\"|0|1"}},
      {"no main program name, no main option", "[完成后选项_主运行程序]\r\n显示=真\r\n", "", {}},
      {"a negative count lists nothing, fixed options included",
       "[完成后选项_访问网络]\r\n网页地址=x.org\r\n[完成后选项_列表]\r\n次数=-1\r\n", "", {}},
      {"a list suppresses the fixed options",
       "[完成后选项_主运行程序]\r\n显示=真\r\n[完成后选项_访问网络]\r\n网页地址=x.org\r\n显示=真\r\n"
       "[完成后选项_列表]\r\n次数=2\r\n标题1=One\r\n可视1=真\r\n选中1=真\r\n程序1=**a.exe**\r\n"
       "标题2=Two\r\n可视2=1\r\n",
       "app.exe",
       {"One|**a.exe**|1|1", "Two||0|0"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const FinishOption& o : ReadFinishOptions(ProfileText(c.ini), "产品", "1.0", c.main_program)) {
      got.push_back(o.title + "|" + o.command + "|" + (o.visible ? "1" : "0") + "|" +
                    (o.ticked ? "1" : "0"));
    }
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

TEST(FinishOptions, HiddenBoxesLeaveNoGap) {
  std::vector<FinishOption> options(4);
  options[0].visible = true;
  options[1].visible = false;
  options[2].visible = true;
  options[3].visible = true;
  EXPECT_EQ(FinishOptionTops(options, 132), (std::vector<int>{132, 132, 158, 184}));
}

TEST(SizeText, DigitsChooseTheUnit) {
  struct Case {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0B"},
      {999, "999B"},
      {1000, "0.98KB"},
      {1024, "1KB"},
      {1536, "1.5KB"},
      {999999, "976.56KB"},
      {1048575, "1MB"},  // rounds up to a whole unit
      {1000000, "0.95MB"},
      {1610612736, "1.5GB"},
      {999999999999ull, "931.32GB"},
      {1099511627776ull, "1TB"},
      {UINT64_MAX, "16777216TB"},
  };
  for (const Case& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

}  // namespace
