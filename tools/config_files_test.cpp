// The configuration files made from a description, read back the way the installer reads them.
#include "tools/config_files.h"

#include <gtest/gtest.h>

#include "package/container.h"
#include "runtime/text.h"
#include "tools/ini_document.h"

namespace {

const GbkConvert kGbk = [](const std::string& s) { return Utf8ToGbk(s); };
const auto kFakeMd5 = [](const std::string& s) { return "md5(" + s + ")"; };

std::string Item(const std::string& bytes, const std::string& name) {
  Bytes value;
  return GetItem(bytes, name, value) ? value : "<absent>";
}

// The installer's block look-up: the first "name CR LF ｛", the block up to the next "｝", then
// the text between "section(){" and the next CR LF "}".
std::string LookUp(const std::string& store, const std::string& name, const std::string& section) {
  size_t start = store.find(name + "\r\n｛");
  if (start == std::string::npos) return "<no block>";
  size_t end = store.find("｝", start);
  std::string block = store.substr(start, end - start);
  size_t s = block.find(section + "(){");
  if (s == std::string::npos) return "";
  s += section.size() + 3;
  return block.substr(s, block.find("\r\n}", s) - s);
}

TEST(DataIni, MergesGivenFileAndKeepsOneLicence) {
  ProductDescription d;
  d.name = u8"你好";
  d.version = "2.0";
  d.install_password = "pw";
  d.finish_page = false;
  d.switch_path = "/D=";
  d.shortcuts.push_back({"Hello", "hello.exe", "", "%Desktop%", "", "", true});
  d.runs.push_back({"**tool.exe** -s", false, true, true, false});
  const std::string given =
      "[墨桐软件安装配置]\r\n墨桐软件名称=old\r\nextra=kept\r\n"
      "[新建快捷方式参数]\r\n欲运行的次数=5\r\n参数快捷方式名5=stale\r\n"
      "\r\n自述文本_开始\x01old licence自述文本_开始end";
  DataLayout layout;
  std::string text = BuildDataIni(d, layout, given, "", kGbk, kFakeMd5);
  IniDocument ini;
  ini.Parse(text);
  EXPECT_EQ(ini.Get("墨桐软件安装配置", "墨桐软件名称"), "你好");
  EXPECT_EQ(ini.Get("墨桐软件安装配置", "extra"), "kept");
  EXPECT_EQ(ini.Get("墨桐软件安装配置", "安装密码"), "md5(pw)");
  EXPECT_EQ(ini.Get("墨桐软件安装配置", "安装后是否显示完成界面"), "假");
  EXPECT_EQ(ini.Get("墨桐软件安装配置", "安装包封装模式"), "单文件封装-0");
  EXPECT_EQ(ini.Get("安装包命令行", "p"), "/D=");
  EXPECT_EQ(ini.Get("安装包命令行", "hp"), "");  // the installer's default then holds
  EXPECT_EQ(ini.Get("新建快捷方式参数", "欲运行的次数"), "1");
  EXPECT_EQ(ini.Get("新建快捷方式参数", "参数快捷方式名5"), "");  // the old list is replaced
  EXPECT_EQ(ini.Get("解压后运行的参数", "作用方案1"), "安装前运行");
  EXPECT_EQ(ini.Get("解压后运行的参数", "参数运行文件名1"), "**tool.exe** -s");
  EXPECT_EQ(Item(text, "自述文本_开始"), "old licence");

  text = BuildDataIni(d, layout, given, "new licence", kGbk, kFakeMd5);
  EXPECT_EQ(Item(text, "自述文本_开始"), "new licence");
  EXPECT_EQ(text.find("old licence"), std::string::npos);
}

TEST(DataIni, VolumeKeysFollowTheNaming) {
  ProductDescription d;
  d.name = "App";
  d.packaging = DataPackaging::kVolumes;
  d.volume_size = "1m";
  struct Case {
    bool counted;
    std::vector<std::string> names;
    const char* listed;
  } cases[] = {
      {false, {"App.001", "App.002"}, "App.001+App.002+"},
      {true, {"App.001", "App.002", "App.003"}, ""},
  };
  for (const auto& c : cases) {
    DataLayout layout;
    layout.counted_volumes = c.counted;
    layout.volume_names = c.names;
    IniDocument ini;
    ini.Parse(BuildDataIni(d, layout, "", "", kGbk, kFakeMd5));
    EXPECT_EQ(ini.Get("墨桐软件安装配置", "压缩分卷数"), std::to_string(c.names.size()));
    EXPECT_EQ(ini.Get("墨桐软件安装配置", "压缩分卷文件名"), c.listed);
    EXPECT_EQ(ini.Get("墨桐软件安装配置", "分卷大小"), "1m");
    // No "-": the installer reads no data block.
    EXPECT_EQ(ini.Get("墨桐软件安装配置", "安装包封装模式").find('-'), std::string::npos);
  }
}

TEST(ScriptStore, TreeOrderAndBlocksFoundByName) {
  ProductDescription d;
  // Described out of tree order; "lists" ends "Treelists" and "Tools" ends "MyTools".
  d.components.push_back({"MyTools", "", true, true, {u8"[真]assignzip(my.dll)"}, {}, {}, {}});
  d.components.push_back({"Main", "", true, false, {u8"[真]setdesktop()"}, {}, {}, {u8"主程序"}});
  d.components.push_back({"Tools", "MyTools", false, false, {u8"[假]removezip(t.dll)"}, {}, {}, {}});
  d.components.push_back({"lists", "MyTools", true, false, {u8"[真]assignzip(l.dll)"}, {}, {}, {}});
  d.components.push_back({"Deep", "Tools", true, false, {}, {u8"[真]cmd /c echo"}, {}, {}});
  d.tree_geometry = "10,20,300,200";
  const std::string store = BuildScriptStore(d, kGbk);

  EXPECT_EQ(LookUp(store, "Treelists", "Install"),
            "MyTools$,-1$,1$,真\r\nTools$,0$,0$,假\r\nDeep$,1$,1$,假\r\n"
            "lists$,0$,1$,假\r\nMain$,-1$,1$,假");
  EXPECT_EQ(LookUp(store, "Treelists", "Unzip"), "10,20,300,200");
  EXPECT_EQ(LookUp(store, "MyTools", "Install"), "[真]assignzip(my.dll)");
  EXPECT_EQ(LookUp(store, "Tools", "Install"), "[假]removezip(t.dll)");
  EXPECT_EQ(LookUp(store, "lists", "Install"), "[真]assignzip(l.dll)");
  EXPECT_EQ(LookUp(store, "Deep", "Unzip"), "[真]cmd /c echo");
  EXPECT_EQ(LookUp(store, "Main", "describe"), "主程序");
  EXPECT_EQ(LookUp(store, "Main", "finish"), "");
  // Every block ends with ｝ CR LF CR LF.
  EXPECT_EQ(store.substr(store.size() - 6), "｝\r\n\r\n");
}

TEST(RegistryDb, RecordsAreNumberedAfterGivenOnes) {
  ProductDescription d;
  d.registry.push_back({"HKEY_CURRENT_USER\\Software\\X\\", "", "REG_SZ", u8"值", "", false, ""});
  d.registry.push_back({"HKEY_LOCAL_MACHINE\\S", "Bin", "REG_BINARY", "01 ff 7A", "", true, "64"});
  d.registry.push_back({"", "", "file", "", "x.reg", false, ""});
  const std::string given = ItemBytes("num", "1") + ItemBytes("REGpath1", "HKEY_USERS\\Old");
  const std::string db = BuildRegistryDb(d, {"", "", "REGEDIT4\r\n"}, given, kGbk);
  EXPECT_EQ(Item(db, "num"), "4");
  EXPECT_EQ(Item(db, "REGpath1"), "HKEY_USERS\\Old");
  EXPECT_EQ(Item(db, "REGpath2"), "HKEY_CURRENT_USER\\Software\\X\\");
  EXPECT_EQ(Item(db, "REGname2"), "\x01\x02\x03");  // the key's default value
  EXPECT_EQ(Item(db, "REGdata2"), "值");
  EXPECT_EQ(Item(db, "REGoff2"), "假");
  EXPECT_EQ(Item(db, "REGdata3"), std::string("\x01\xff\x7a", 3));
  EXPECT_EQ(Item(db, "REGoff3"), "真");
  EXPECT_EQ(Item(db, "REGws3"), "64");
  EXPECT_EQ(Item(db, "REGtype4"), "file");
  EXPECT_EQ(Item(db, "REGdata4"), "REGEDIT4\r\n");
  EXPECT_EQ(BuildRegistryDb(ProductDescription{}, {}, "", kGbk), "");
}

TEST(PluginFiles, EntriesPairImagesWithSettings) {
  ProductDescription d;
  d.plugins.push_back({"a.dll", "Init", 0, {{"text", u8"你好"}, {"int", "7"}}});
  d.plugins.push_back({"b.dll", "Start", 2, {}});
  const std::string image_a("MZ\0\x01DLLname binary", 18), image_b = "MZb";
  PluginFiles f = BuildPluginFiles(d, {image_a, image_b}, kGbk);
  auto images = SplitText(f.images, "墨桐DLL分割标记");
  auto settings = SplitText(f.settings, "墨桐DLL分割标记");
  ASSERT_EQ(images.size(), 2u);
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_TRUE(StartsWith(f.images, "DLLname"));
  EXPECT_EQ(images[0].substr(images[0].find("DLLparam_end") + 12), image_a);
  EXPECT_EQ(images[1].substr(images[1].find("DLLparam_end") + 12), image_b);
  EXPECT_EQ(BytesBetween(settings[0], "DLLmd", "DLLmd_end"), "0");
  EXPECT_EQ(BytesBetween(settings[1], "DLLmd", "DLLmd_end"), "2");
  EXPECT_EQ(BytesBetween(settings[0], "DLLname", "DLLname_end"), "Init");
  EXPECT_EQ(BytesBetween(settings[0], "DLLparam", "DLLparam_end"),
            "参数1$参数，文本型$参数，你好\r\nDLL标记$参数2$参数，整数型$参数，7");
}

TEST(SmallFiles, ExceptVariablesTextsAndResources) {
  ProductDescription d;
  d.exclusions.push_back({"%InstallPath%\\bin", {"a.dll", "b.dll"}});
  EXPECT_EQ(BuildExceptIni(d, "x,-1", kGbk), "x,-1\r\n%InstallPath%\\bin,-1\r\na.dll,0\r\nb.dll,0\r\n");

  d.variables.push_back({"Site", "http://example.com"});
  d.resources.push_back({"Logo", "logo.png"});
  const std::string vars = BuildVariableIni(d, "[%Version%]\r\n数据=#常量数据\r\n", kGbk);
  IniDocument ini;
  ini.Parse(vars);
  EXPECT_EQ(ini.Get("%Site%", "数据"), "http://example.com");
  EXPECT_EQ(ini.Get("%Logo%", "数据"), "#资源数据_Logo");
  EXPECT_EQ(ini.Get("%Desktop%", "数据"), "#常量数据");
  // The publisher's variables come before the built-in ones, whose values they may use.
  EXPECT_LT(vars.find("[%Site%]"), vars.find("[%ProgramFiles%]"));
  EXPECT_EQ(vars.find("[%Version%]"), vars.rfind("[%Version%]"));
  EXPECT_EQ(Item(BuildVarData(d, {std::string("\x89PNG\0", 5)}, "", kGbk), "#资源数据_Logo"),
            std::string("\x89PNG\0", 5));

  d.texts.push_back({u8"欢迎1", u8"第一行\\n第二行"});
  const std::string texts = BuildGuiText(d, ItemBytes("欢迎1", "old") + ItemBytes("协议0", "L"), kGbk);
  EXPECT_EQ(Item(texts, "欢迎1"), "第一行\r\n第二行");
  EXPECT_EQ(Item(texts, "协议0"), "L");
}

TEST(SmallFiles, LineEnds) {
  EXPECT_EQ(CrLfLines("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
}

}  // namespace
