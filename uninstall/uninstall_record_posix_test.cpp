// The uninstaller generation read back: "uninst.dat" unit by unit with the container readers, the
// INI keys and items of its record, and the record reader over the same bytes.
#include <gtest/gtest.h>

#include "install/uninstaller.h"
#include "package/container.h"
#include "package/package_test_util.h"
#include "runtime/profile.h"
#include "uninstall/uninstall_record.h"
#include "uninstall/uninstaller_role.h"

namespace {

using package_test::ScratchFolder;

InstallConfig SampleConfig() {
  InstallConfig c;
  c.product_name = "示例 软件";
  c.version = "2.1";
  c.main_program = "app.exe";
  c.company_name = "示例公司";
  c.uninstall_mode = "后台卸载";
  c.switch_direct = "-jp";
  c.switch_hide_end = "-hideend";
  c.switch_hidden = "-hp";
  c.generate_uninstaller = 1;
  c.small_picture.bytes = std::string("\xFF\xD8small\x01\x00", 8);
  c.large_picture.bytes = "";
  c.uninstaller_icon = std::string("\0\0\1\0icon", 8);
  ShortcutSpec kept{"Kept", "app.exe", "", "%Desktop%", false, "", ""};
  ShortcutSpec removed{"App", "app.exe", "", "%Desktop%，C:\\Menu%AC%Sub,,C:\\Q\\", true, "", ""};
  ShortcutSpec named{"Already.lnk", "uninst.exe", "", "C:\\Menu", true, "", ""};
  c.shortcuts = {kept, removed, named};
  c.uninstall_commands = {{"真", "cmd /c echo **x**", true, false}, {"", "tool.exe /u", false, true}};
  c.uninstall_options = {"24,140", "保留设置$,真$,真$,[假]removedump(config)&&[真]x.exe",
                         "隐藏$,假$,$,", "带$,号$,真$,真$,a$,b"};
  return c;
}

TEST(UninstallerGeneration, WritesLauncherAndRecordReadBackUnitByUnit) {
  ScratchFolder scratch("uninstaller_generation");
  const std::string dir = scratch / "Product";
  const std::string temp = scratch / "Temp" + "\\";
  CreateFolderLevels(dir);
  CreateFolderLevels(temp);
  // A setup program with its installer package: image, 00, mode record, configuration block.
  const Bytes image = "MZ setup image \x01 with bytes" + std::string(3000, '\x5A');
  const std::string program = scratch / "setup.exe";
  WriteWholeFile(program, image);
  AppendModeRecord(program, kInstallerModeText);
  AppendToFile(program, Marker(kConfigStartText) + "7z..." + Marker(kConfigEndText));

  const InstallConfig config = SampleConfig();
  VariableTable table;
  table.variables.push_back({"%Desktop%", "C:\\Users\\u\\Desktop\\"});
  UninstallerSources s;
  s.config = &config;
  s.install_dir = dir;
  s.extracted_files = dir + "\\app.exe\r\n" + dir + "\\说明.txt\r\n";
  s.registry_list = "HKEY_CURRENT_USER\\Software\\示例\\Value$,64\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\\K\\$,\r\n";
  s.registry_keys = "HKEY_CURRENT_USER\\Software\\示例$,64\r\n";
  s.carried_data = "s#！★！#db#！★！#vd#！★！#[%A%]\r\nvalue=1#！★！#";
  s.variables = &table;
  s.program_path = program;
  s.launcher = "MZ launcher";
  s.temp_dir = temp;
  std::vector<std::string> log;
  GenerateUninstallerWith(s, [&](const std::string& line) { log.push_back(line); });

  ASSERT_EQ(log, std::vector<std::string>{"创建卸载程序: " + dir + "\\uninst.exe"});
  Bytes launcher;
  ASSERT_TRUE(ReadWholeFile(dir + "\\uninst.exe", launcher));
  EXPECT_EQ(launcher, "MZ launcher");
  // Nothing stays in the temporary folder.
  EXPECT_FALSE(FolderExists(temp + "qev_dll"));

  const std::string dat = dir + "\\uninst.dat";
  Bytes bytes;
  ASSERT_TRUE(ReadWholeFile(dat, bytes));
  const Bytes ini = UninstallIniText(s);
  const Bytes record = UninstallRecordContent(ini, UninstallFileList(s.extracted_files, dir),
                                              s.registry_list, s.registry_keys);
  const Bytes skin = SkinContent(config);
  // Unit by unit: image, three groups each after a 00 byte, then the mode record.
  Bytes expected = image;
  expected += '\0' + Marker("uninst_datA") + s.carried_data + Marker("uninst_datB");
  expected += '\0' + Marker("uninst_iniA") + record + Marker("uninst_iniB");
  expected += '\0' + Marker("skinA") + skin + Marker("skinB");
  expected += '\0' + Marker(kModeStartText) + "qev-2" + Marker(kModeEndText);
  EXPECT_EQ(bytes, expected);

  // What the uninstaller reads back with the container readers.
  EXPECT_EQ(ReadRunMode(dat), "qev-2");
  EXPECT_EQ(FindBlockBackward(dat, "uninst_datB", "uninst_datA"), s.carried_data);
  EXPECT_EQ(FindBlockBackward(dat, "uninst_iniB", "uninst_iniA"), record);
  EXPECT_EQ(FindBlockBackward(dat, "skinB", "skinA"), skin);
  Bytes item;
  EXPECT_TRUE(GetItem(skin, "界面小图片", item));
  EXPECT_EQ(item, config.small_picture.bytes);
  EXPECT_TRUE(GetItem(skin, "界面大图片", item));
  EXPECT_EQ(item, "\x01\x02\x03");
  EXPECT_TRUE(GetItem(skin, "版权", item));
  EXPECT_EQ(item, "示例公司");
  EXPECT_TRUE(GetItem(skin, "x皮肤", item));
  EXPECT_EQ(item, "\x01\x02\x03");
  EXPECT_TRUE(GetItem(record, "卸载路径", item));
  EXPECT_EQ(item, dir + "\\app.exe\r\n" + dir + "\\说明.txt\r\n" + dir + "\\uninst.ini\r\n" + dir +
                      "\\uninst.exe\r\n" + dir + "\\uninst.dat");
  EXPECT_TRUE(GetItem(record, "卸载注册表", item));
  EXPECT_EQ(item, s.registry_list);

  // The keys of the INI text, as the profile reader sees them.
  struct Key {
    const char* section;
    const char* key;
    std::string value;
  };
  const Key keys[] = {
      {"软件卸载配置", "软件名称", "示例 软件"},
      {"软件卸载配置", "软件版本", "2.1"},
      {"软件卸载配置", "主程序名", "app.exe"},
      {"软件卸载配置", "卸载路径", dir},
      {"软件卸载配置", "快捷方式个数", "3"},
      {"软件卸载配置", "开始菜单栏名称", ""},
      {"软件卸载配置", "卸载模式", "后台卸载"},
      {"软件卸载配置", "快捷方式1", ""},
      {"软件卸载配置", "快捷方式2",
       "C:\\Users\\u\\Desktop\\\\App.lnk,C:\\Menu，Sub\\App.lnk,C:\\Q\\\\App.lnk,"},
      {"软件卸载配置", "快捷方式3", "C:\\Menu\\Already.lnk,"},
      {"安装包命令行", "jp", "-jp"},
      {"安装包命令行", "hideend", "-hideend"},
      {"安装包命令行", "hp", "-hp"},
      {"卸载时运行命令", "欲运行的次数", "2"},
      {"卸载时运行命令", "是否外部运行1", "真"},
      {"卸载时运行命令", "参数运行文件名1", "cmd /c echo **x**"},
      {"卸载时运行命令", "是否隐藏窗口1", "真"},
      {"卸载时运行命令", "是否等待返回1", "假"},
      {"卸载时运行命令", "是否外部运行2", ""},
      {"卸载时运行命令", "是否等待返回2", "真"},
      {"卸载选项", "次数", "3"},
      {"卸载选项", "y", "24,140"},
      {"卸载选项", "标题1", "保留设置"},
      {"卸载选项", "程序1", "[假]removedump(config)&&[真]x.exe"},
      {"卸载选项", "可视2", "假"},
      {"卸载选项", "选中2", ""},
      {"卸载选项", "程序3", "真$,a$,b"},
  };
  for (const Key& k : keys) {
    EXPECT_EQ(ProfileValue(record, k.section, k.key), k.value) << k.section << " " << k.key;
  }
  EXPECT_EQ(ProfileSectionNames(record),
            (std::vector<std::string>{"软件卸载配置", "安装包命令行", "卸载时运行命令", "卸载选项"}));

  // The record reader over the same bytes.
  const UninstallRecord r = ReadUninstallRecord(record);
  EXPECT_EQ(r.product_name, "示例 软件");
  EXPECT_EQ(r.install_dir, dir);
  EXPECT_EQ(r.shortcut_files,
            (std::vector<std::string>{"C:\\Users\\u\\Desktop\\\\App.lnk", "C:\\Menu，Sub\\App.lnk",
                                      "C:\\Q\\\\App.lnk", "C:\\Menu\\Already.lnk"}));
  ASSERT_EQ(r.commands.size(), 2u);
  EXPECT_TRUE(r.commands[0].external && r.commands[0].hidden && !r.commands[0].wait);
  EXPECT_TRUE(!r.commands[1].external && r.commands[1].wait);
  ASSERT_TRUE(r.options_placed);
  EXPECT_EQ(r.options_left, 24);
  EXPECT_EQ(r.options_top, 140);
  ASSERT_EQ(r.options.size(), 3u);
  EXPECT_EQ(r.options[0].program, "[假]removedump(config)\r\n[真]x.exe");
  EXPECT_TRUE(r.options[0].visible && r.options[0].ticked);
  EXPECT_FALSE(r.options[1].visible || r.options[1].ticked);
  EXPECT_EQ(r.files.size(), 5u);
  ASSERT_EQ(r.registry.size(), 2u);
  EXPECT_EQ(r.registry[0].key, "HKEY_CURRENT_USER\\Software\\示例\\Value");
  EXPECT_EQ(r.registry[0].view, "64");
  EXPECT_EQ(r.registry[1].key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\K\\");
  EXPECT_EQ(r.registry[1].view, "");
  ASSERT_EQ(r.made_keys.size(), 1u);
  EXPECT_EQ(r.made_keys[0].key, "HKEY_CURRENT_USER\\Software\\示例");
  EXPECT_EQ(r.made_keys[0].view, "64");
  EXPECT_EQ(SplitUninstallData(s.carried_data),
            (std::vector<Bytes>{"s", "db", "vd", "[%A%]\r\nvalue=1"}));
}

// An install without shortcuts, commands, options or registry values, from a program without a
// package (test mode): the record still has its keys, its items carry the empty marker where
// empty, and "uninst.dat" is the groups alone.
TEST(UninstallerGeneration, EmptyInstallKeepsEveryKeyAndMarker) {
  ScratchFolder scratch("uninstaller_generation_empty");
  const std::string dir = scratch / "P";
  CreateFolderLevels(dir);
  const std::string program = scratch / "setup.exe";
  WriteWholeFile(program, "MZ no package");
  InstallConfig config;
  config.product_name = "P";
  UninstallerSources s;
  s.config = &config;
  s.install_dir = dir;
  s.program_path = program;
  s.temp_dir = scratch / "" ;
  GenerateUninstallerWith(s, nullptr);
  const std::string dat = dir + "\\uninst.dat";
  EXPECT_EQ(ReadRunMode(dat), "qev-2");
  const Bytes record = FindBlockBackward(dat, "uninst_iniB", "uninst_iniA");
  EXPECT_EQ(ProfileValue(record, "软件卸载配置", "快捷方式个数"), "0");
  EXPECT_EQ(ProfileValue(record, "卸载时运行命令", "欲运行的次数"), "0");
  EXPECT_EQ(ProfileValue(record, "卸载选项", "次数"), "0");
  // The switch texts the installer answered to: its defaults where the configuration has none.
  EXPECT_EQ(ProfileValue(record, "安装包命令行", "hp"), "-hp");
  EXPECT_EQ(ProfileValue(record, "安装包命令行", "jp"), "-jp");
  Bytes item;
  EXPECT_TRUE(GetItem(record, "卸载注册表", item));
  EXPECT_EQ(item, "\x01\x02\x03");
  // No registry key made: no item for them, the record as it always was.
  EXPECT_FALSE(GetItem(record, "卸载注册表项", item));
  const UninstallRecord r = ReadUninstallRecord(record);
  EXPECT_TRUE(r.registry.empty());
  EXPECT_TRUE(r.made_keys.empty());
  EXPECT_TRUE(r.options.empty());
  EXPECT_EQ(r.files, (std::vector<std::string>{dir + "\\uninst.ini", dir + "\\uninst.exe",
                                              dir + "\\uninst.dat"}));
  // The launcher resource is missing natively: an empty file still names the uninstaller.
  EXPECT_EQ(FileSize(dir + "\\uninst.exe"), 0);

  // Installs over this one: the keys an earlier install of the product made are kept in the
  // record (the reinstall finds them there and makes only what is new); another product's are not.
  const auto made_keys = [&] {
    Bytes keys;
    GetItem(FindBlockBackward(dat, "uninst_iniB", "uninst_iniA"), "卸载注册表项", keys);
    return keys;
  };
  s.registry_keys = "HKEY_CURRENT_USER\\A$,32\r\nHKEY_CURRENT_USER\\A\\B$,32\r\n";
  GenerateUninstallerWith(s, nullptr);
  s.registry_keys = "HKEY_CURRENT_USER\\A\\B$,32\r\nHKEY_CURRENT_USER\\A\\B\\C$,64\r\n";
  GenerateUninstallerWith(s, nullptr);
  EXPECT_EQ(made_keys(), "HKEY_CURRENT_USER\\A$,32\r\nHKEY_CURRENT_USER\\A\\B$,32\r\n"
                         "HKEY_CURRENT_USER\\A\\B\\C$,64\r\n");
  s.registry_keys.clear();
  GenerateUninstallerWith(s, nullptr);
  EXPECT_EQ(made_keys(), "HKEY_CURRENT_USER\\A$,32\r\nHKEY_CURRENT_USER\\A\\B$,32\r\n"
                         "HKEY_CURRENT_USER\\A\\B\\C$,64\r\n");
  config.product_name = "Other";
  s.registry_keys = "HKEY_CURRENT_USER\\O$,32\r\n";
  GenerateUninstallerWith(s, nullptr);
  EXPECT_EQ(made_keys(), "HKEY_CURRENT_USER\\O$,32\r\n");
}

}  // namespace

namespace {

// What the uninstaller unpacks from a generated "uninst.dat": the record into the working
// folder, the carried files into the data folder named after the product; a product name that
// cannot name a folder of its own gets no data folder (it would be the temporary folder itself).
TEST(UninstallerGeneration, UnpacksIntoWorkingAndDataFolders) {
  struct Case {
    const char* name;
    bool data_folder;
  } cases[] = {{"示例", true}, {"", false}, {"..", false}};
  for (const Case& c : cases) {
    ScratchFolder scratch("uninstaller_unpack");
    const std::string dir = scratch / "P";
    const std::string working = scratch / "W";
    const std::string temp = scratch / "T" + "\\";
    for (const std::string& f : {dir, working, temp}) CreateFolderLevels(f);
    WriteWholeFile(scratch / "setup.exe", "MZ");
    InstallConfig config;
    config.product_name = c.name;
    UninstallerSources s;
    s.config = &config;
    s.install_dir = dir;
    s.program_path = scratch / "setup.exe";
    s.temp_dir = temp;
    s.carried_data = "#！★！##！★！##！★！#[%X%]\r\n#！★！#";  // only the variable table
    config.small_picture.bytes = "JPEG";
    GenerateUninstallerWith(s, nullptr);

    const UninstallerFiles files = UnpackUninstaller(dir, working, temp);
    Bytes written;
    ASSERT_TRUE(ReadWholeFile(working + "\\uninst.ini", written));
    EXPECT_EQ(written, files.record);
    EXPECT_EQ(ReadUninstallRecord(files.record).product_name, c.name);
    ASSERT_TRUE(ReadWholeFile(working + "\\uninst.dat", written));
    EXPECT_EQ(written, s.carried_data);
    Bytes picture;
    EXPECT_TRUE(GetItem(files.skin, "界面小图片", picture));
    EXPECT_EQ(picture, "JPEG");
    if (!c.data_folder) {
      EXPECT_EQ(files.data_folder, "") << c.name;
      continue;
    }
    EXPECT_EQ(files.data_folder, temp + c.name + "\\");
    const char* expected[4] = {"", "", "", "[%X%]\r\n"};
    for (int k = 0; k < 4; ++k) {
      Bytes piece;
      EXPECT_TRUE(ReadWholeFile(files.data_folder + kUninstallDataFiles[k], piece));
      EXPECT_EQ(piece, expected[k]) << kUninstallDataFiles[k];
    }
  }
}

}  // namespace

namespace {

TEST(UninstallerGeneration, IconFileBecomesGroupAndImages) {
  // Two images: 16x16 (5 bytes at 38) and 32x32 (3 bytes at 43).
  Bytes ico("\0\0\1\0\2\0", 6);
  ico += Bytes("\x10\x10\0\0\1\0\x20\0\x05\0\0\0\x26\0\0\0", 16);
  ico += Bytes("\x20\x20\0\0\1\0\x20\0\x03\0\0\0\x2b\0\0\0", 16);
  ico += "aaaaabbb";
  IconResources icon;
  ASSERT_TRUE(IconResourcesFromFile(ico, icon));
  Bytes group("\0\0\1\0\2\0", 6);
  group += Bytes("\x10\x10\0\0\1\0\x20\0\x05\0\0\0\x01\0", 14);
  group += Bytes("\x20\x20\0\0\1\0\x20\0\x03\0\0\0\x02\0", 14);
  EXPECT_EQ(icon.group, group);
  EXPECT_EQ(icon.images, (std::vector<Bytes>{"aaaaa", "bbb"}));
  // Not icons: empty, a cursor, an image beyond the end, no images.
  for (const Bytes& bad : {Bytes(), Bytes("\0\0\2\0\1\0", 6), ico.substr(0, ico.size() - 1),
                           Bytes("\0\0\1\0\0\0", 6)}) {
    EXPECT_FALSE(IconResourcesFromFile(bad, icon));
  }
}

}  // namespace
