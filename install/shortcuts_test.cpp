// Tests of the shortcut decisions: switches, location folders, folder comparison, placement and
// the order of the shell calls, over fixed folders and a recording shell.
#include "install/shortcuts.h"

#include <gtest/gtest.h>

#include <set>

namespace {

ComponentTree Tree(const std::vector<std::pair<std::string, int>>& items,
                   const std::vector<bool>& checked) {
  ComponentTree tree;
  for (size_t i = 0; i < items.size(); ++i) {
    const int position = tree.Add(items[i].first, -1, checked[i]);
    tree.SetMark(position, items[i].second);
  }
  return tree;
}

TEST(ShortcutSwitchesTest, PluginTextThenMarksThenBasicComponent) {
  const ComponentTree basic = Tree(
      {{"主程序", 0}, {"基本组件", 0}, {"桌面", 0}, {"菜单", 0}, {"快速", 0}},
      {true, true, false, true, true});
  const ComponentTree marked = Tree(
      {{"基本组件", 0}, {"a", 0}, {"快速", 3}, {"桌面", 1}, {"桌面2", 1}, {"b", 0}},
      {true, true, true, false, true, true});
  const ComponentTree short_tail = Tree({{"基本组件", 0}, {"桌面", 0}}, {true, true});
  const ComponentTree no_basic = Tree({{"x", 0}, {"y", 0}, {"z", 0}}, {true, true, true});
  struct Case {
    const char* name;
    std::string plugin_text;
    const ComponentTree* tree;
    int desktop, start_menu, quick_launch;
  } cases[] = {
      {"plug-in text", "1$，0$，1", &basic, 1, 0, 1},
      {"plug-in text, missing parts are 0", "1", &basic, 1, 0, 0},
      {"plug-in text, not numbers", "abc$，1$，x$，1", &basic, 0, 1, 0},
      {"plug-in text wins over an empty tree", "1$，1$，1", &no_basic, 1, 1, 1},
      {"items after 基本组件", "", &basic, 0, 1, 1},
      // The first marked item decides; the start menu has no mark and falls back to p + 2.
      {"marks first", "", &marked, 0, 1, 1},
      {"missing items after 基本组件", "", &short_tail, 1, -1, -1},
      {"no 基本组件 and no marks", "", &no_basic, -1, -1, -1},
  };
  for (const Case& c : cases) {
    const ShortcutSwitches s = DecideShortcutSwitches(c.plugin_text, *c.tree);
    EXPECT_EQ(s.desktop, c.desktop) << c.name;
    EXPECT_EQ(s.start_menu, c.start_menu) << c.name;
    EXPECT_EQ(s.quick_launch, c.quick_launch) << c.name;
  }
  EXPECT_TRUE((ShortcutSwitches{1, 0, 0}).DesktopAllowed());
  EXPECT_FALSE((ShortcutSwitches{-1, 2, 0}).DesktopAllowed());
  EXPECT_FALSE((ShortcutSwitches{-1, 2, 0}).StartMenuAllowed());
}

TEST(ShortcutFoldersTest, CommasAndFullWidthCommas) {
  struct Case {
    std::string location;
    std::vector<std::string> folders;
  } cases[] = {
      {"%Desktop%,%MenuDir%", {"%Desktop%", "%MenuDir%"}},
      {"%Desktop%，%MenuDir%\\产品", {"%Desktop%", "%MenuDir%\\产品"}},
      {"%MenuDir%\\Tools%AC%Extras", {"%MenuDir%\\Tools，Extras"}},
      {"A%AC%B，C,D", {"A，B", "C", "D"}},
      {"A,,B,", {"A", "", "B"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ShortcutFolders(c.location), c.folders) << c.location;
}

TEST(ShortcutPathsTest, FoldersLinksAndWorkingDirectories) {
  struct SameCase {
    std::string a, b;
    bool same;
  } same_cases[] = {
      {"C:\\Users\\u\\Desktop", "C:\\Users\\u\\Desktop\\", true},
      {"C:\\Users\\u\\Desktop\\\\", "C:\\Users\\u\\Desktop", true},
      {"C:\\Users\\u\\Desktop", "C:\\Users\\u\\Desktop2\\", false},
      {"c:\\Users\\u\\Desktop", "C:\\Users\\u\\Desktop", false},
      // The last byte is the second half of a character, not a separator.
      {"C:\\A\x81\x5C", "C:\\A\x81", false},
      {"", "", false},
      {"\\", "", false},
  };
  for (const SameCase& c : same_cases) EXPECT_EQ(SameFolder(c.a, c.b), c.same) << c.a << " " << c.b;

  struct LinkCase {
    std::string path, link;
  } link_cases[] = {
      {"C:\\D\\产品", "C:\\D\\产品.lnk"},
      {"C:\\D\\app.LNK", "C:\\D\\app.LNK"},
      {"C:\\D.lnk\\app", "C:\\D.lnk\\app"},  // any ".lnk" in the path counts
  };
  for (const LinkCase& c : link_cases) EXPECT_EQ(LinkFilePath(c.path), c.link);

  struct DirCase {
    std::string target, dir;
  } dir_cases[] = {
      {"D:\\App\\bin\\app.exe", "D:\\App\\bin\\"},
      {"D:\\app.exe", "D:\\"},
      {"app.exe", ""},
      {"D:\\软件\\表.exe", "D:\\软件\\"},
  };
  for (const DirCase& c : dir_cases) EXPECT_EQ(LinkWorkingDirectory(c.target), c.dir);

  const std::string vista = "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";
  const std::string old = "C:\\Users\\u\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch";
  const auto vista_exists = [&](const std::string& p) { return p == vista; };
  const auto none_exists = [](const std::string&) { return false; };
  EXPECT_EQ(QuickLaunchFolderFor("C:\\Users\\u", 5.1, vista_exists), vista);
  EXPECT_EQ(QuickLaunchFolderFor("C:\\Users\\u", 5.1, none_exists), old);
  // From Vista on the folder "%QuickLaunch%" names, also in a profile that has none yet.
  EXPECT_EQ(QuickLaunchFolderFor("C:\\Users\\u", 6.1, none_exists), vista);
}

// A machine with fixed folders and an install in D:\App holding app.exe.
class PlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.variables = {{"%Desktop%", "C:\\Users\\u\\Desktop"}, {"%MenuDir%", "C:\\P"}};
    context_.install_dir = "D:\\App";
    context_.desktop_folder = "C:\\Users\\u\\Desktop\\";
    context_.programs_folder = "C:\\P\\";
    context_.quick_launch_folder = "C:\\Q";
    context_.product_name = "产品";
    context_.main_program = "app.exe";
    context_.generate_uninstaller = true;
    context_.windows_version = 6.1;
    context_.switches = {1, 1, 1};
    context_.variables = &table_;
    context_.file_exists = [this](const std::string& path) { return files_.count(path) > 0; };
  }

  static ShortcutSpec Spec(const std::string& name, const std::string& target,
                           const std::string& location) {
    ShortcutSpec spec;
    spec.name = name;
    spec.target = target;
    spec.location = location;
    return spec;
  }

  // One text per link: folder | link path | created/dropped | logged | target.
  static std::vector<std::string> Describe(const ShortcutPlan& plan) {
    std::vector<std::string> out;
    for (const PlannedLink& l : plan.links) {
      out.push_back(l.folder + "|" + l.link_path + "|" +
                    (l.create ? "make" : l.refused.empty() ? "-" : "refused") + "|" +
                    (l.log ? "log" : "-") + "|" + l.target);
    }
    return out;
  }

  VariableTable table_;
  ShortcutContext context_;
  std::set<std::string> files_ = {"D:\\App\\app.exe"};
};

TEST_F(PlanTest, PlacementTable) {
  struct Case {
    const char* name;
    ShortcutSwitches switches;
    std::string start_menu_name;
    ShortcutSpec spec;
    std::vector<std::string> links;
    std::string stored_target;
  } cases[] = {
      {"desktop and menu, all allowed", {1, 1, 1}, "", Spec("产品", "app.exe", "%Desktop%,%MenuDir%\\产品"),
       {"C:\\Users\\u\\Desktop|C:\\Users\\u\\Desktop\\产品|make|log|D:\\App\\app.exe",
        "C:\\P\\产品|C:\\P\\产品\\产品|make|log|D:\\App\\app.exe"},
       "app.exe"},
      {"desktop not ticked", {0, 1, 1}, "", Spec("产品", "app.exe", "%Desktop%，%MenuDir%\\产品"),
       {"C:\\Users\\u\\Desktop|C:\\Users\\u\\Desktop\\产品|-|-|D:\\App\\app.exe",
        "C:\\P\\产品|C:\\P\\产品\\产品|make|log|D:\\App\\app.exe"},
       "app.exe"},
      {"start menu not ticked", {1, 0, 1}, "", Spec("产品", "app.exe", "%MenuDir%\\产品\\"),
       {"C:\\P\\产品\\|C:\\P\\产品\\\\产品|-|-|D:\\App\\app.exe"}, "app.exe"},
      // Only the product's own folder is governed by the switch; sub-folders are not.
      {"start-menu sub-folder", {1, 0, 1}, "", Spec("帮助", "app.exe", "%MenuDir%\\产品\\Tools%AC%Extras"),
       {"C:\\P\\产品\\Tools，Extras|C:\\P\\产品\\Tools，Extras\\帮助|make|log|D:\\App\\app.exe"},
       "app.exe"},
      // A plug-in's folder name replaces the product's; the moved link escapes the switch.
      {"replacement start-menu folder", {1, 0, 1}, "别名", Spec("产品", "app.exe", "%MenuDir%\\产品"),
       {"C:\\P\\别名|C:\\P\\别名\\产品|make|log|D:\\App\\app.exe"}, "app.exe"},
      {"quick launch not ticked", {1, 1, 0}, "", Spec("产品", "app.exe", "C:\\Q\\,C:\\Other"),
       {"C:\\Q\\|C:\\Q\\\\产品|-|-|D:\\App\\app.exe",
        "C:\\Other|C:\\Other\\产品|make|log|D:\\App\\app.exe"},
       "app.exe"},
      {"missing target", {1, 1, 1}, "", Spec("说明", "readme.txt", "%Desktop%"),
       {"C:\\Users\\u\\Desktop|C:\\Users\\u\\Desktop\\说明|-|-|D:\\App\\readme.txt"}, "readme.txt"},
      // The uninstaller does not exist yet: its links are made in every folder, without a line.
      {"uninstaller", {1, 1, 1}, "", Spec("卸载", "%Uninst.exe%", "%Desktop%,%MenuDir%\\产品"),
       {"C:\\Users\\u\\Desktop|C:\\Users\\u\\Desktop\\卸载|make|-|D:\\App\\uninst.exe",
        "C:\\P\\产品|C:\\P\\产品\\卸载|make|-|D:\\App\\uninst.exe"},
       "uninst.exe"},
      {"uninstaller in a dropped folder", {0, 1, 1}, "", Spec("卸载", "%Uninst.exe%", "%Desktop%"),
       {"C:\\Users\\u\\Desktop|C:\\Users\\u\\Desktop\\卸载|-|-|D:\\App\\uninst.exe"}, "uninst.exe"},
      // A variable the table does not know would resolve against the current folder.
      {"empty folders are skipped, unknown variables refused", {1, 1, 1}, "",
       Spec("产品", "app.exe", ",%Nothing%,%SystemRoot%\\x,C:\\A%B%C\\D"),
       {"%Nothing%|%Nothing%\\产品|refused|-|D:\\App\\app.exe",
        "%SystemRoot%\\x|%SystemRoot%\\x\\产品|refused|-|D:\\App\\app.exe",
        "C:\\A%B%C\\D|C:\\A%B%C\\D\\产品|refused|-|D:\\App\\app.exe"},
       "app.exe"},
      {"relative folder refused", {1, 1, 1}, "", Spec("产品", "app.exe", "Tools,\\\\srv\\s"),
       {"Tools|Tools\\产品|refused|-|D:\\App\\app.exe",
        "\\\\srv\\s|\\\\srv\\s\\产品|make|log|D:\\App\\app.exe"},
       "app.exe"},
      {"name with a folder part refused", {1, 1, 1}, "", Spec("..\\..\\evil", "app.exe", "%Desktop%"),
       {"C:\\Users\\u\\Desktop|C:\\Users\\u\\Desktop\\..\\..\\evil|refused|-|D:\\App\\app.exe"},
       "app.exe"},
      {"name of dots refused", {1, 1, 1}, "", Spec("..", "app.exe", "%Desktop%"),
       {"C:\\Users\\u\\Desktop|C:\\Users\\u\\Desktop\\..|refused|-|D:\\App\\app.exe"},
       "app.exe"},
  };
  for (const Case& c : cases) {
    context_.switches = c.switches;
    context_.start_menu_name = c.start_menu_name;
    std::vector<ShortcutSpec> specs = {c.spec};
    const ShortcutPlan plan = PlanShortcuts(specs, context_);
    EXPECT_EQ(Describe(plan), c.links) << c.name;
    EXPECT_EQ(specs[0].target, c.stored_target) << c.name;
    EXPECT_EQ(plan.start_menu_folder, "C:\\P\\产品") << c.name;
  }
}

TEST(ShortcutRefusalTest, FoldersAndNames) {
  struct Case {
    std::string folder, name;
    bool refused;
  } cases[] = {
      {"C:\\P\\产品", "产品 1.0...", false},
      {"C:\\P\\100% 工具\\50%", "a", false},  // percent signs split by a separator
      {"C:\\P\\%運%", "a", true},               // 運 ends in the byte 0x5C
      {"C:\\P\\%表%", "a", true},
      {"C:\\P", "a/b", true},
      {"C:\\P", "c:x", true},
      {"C:\\P", " . ", true},
      {"C:\\P", "", true},
      {"C:", "a", true},
      {"\\\\srv\\share", "a", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(!ShortcutRefusal(c.folder, c.name).empty(), c.refused) << c.folder << " " << c.name;
}

TEST_F(PlanTest, UninstallerTargetWithoutGeneration) {
  context_.generate_uninstaller = false;
  std::vector<ShortcutSpec> specs = {Spec("卸载", "%Uninst.exe%", "%Desktop%")};
  const ShortcutPlan plan = PlanShortcuts(specs, context_);
  ASSERT_EQ(plan.links.size(), 1u);
  EXPECT_FALSE(plan.links[0].create);
  EXPECT_EQ(specs[0].target, "%Uninst.exe%");
}

TEST_F(PlanTest, PinAndFieldsOfTheLink) {
  struct Case {
    int quick_launch;
    std::string main_program;
    double version;
    bool pin;
  } cases[] = {
      {1, "app.exe", 6.1, true},
      {1, "app.exe", 6.0, true},
      {1, "app.exe", 5.1, false},
      {0, "app.exe", 6.1, false},
      {1, "", 6.1, false},
  };
  for (const Case& c : cases) {
    context_.switches = {1, 1, c.quick_launch};
    context_.main_program = c.main_program;
    context_.windows_version = c.version;
    std::vector<ShortcutSpec> none;
    const ShortcutPlan plan = PlanShortcuts(none, context_);
    EXPECT_EQ(plan.pin, c.pin) << c.main_program << " " << c.version;
    if (plan.pin) {
      EXPECT_EQ(plan.pin_folder + "|" + plan.pin_file, "D:\\App|app.exe");
    }
  }

  ShortcutSpec spec = Spec("产品", "app.exe", "%Desktop%");
  spec.arguments = "-x";
  spec.icon = "res\\app.ico";
  spec.description = "说明";
  std::vector<ShortcutSpec> specs = {spec, Spec("b", "app.exe", "%Desktop%")};
  const ShortcutPlan plan = PlanShortcuts(specs, context_);
  ASSERT_EQ(plan.links.size(), 2u);
  EXPECT_EQ(plan.links[0].arguments, "-x");
  EXPECT_EQ(plan.links[0].icon, "D:\\App\\res\\app.ico");
  EXPECT_EQ(plan.links[0].description, "说明");
  EXPECT_EQ(plan.links[1].icon, "");

  // Without a product name there is no product folder to remove afterwards.
  context_.product_name.clear();
  EXPECT_EQ(PlanShortcuts(specs, context_).start_menu_folder, "");
}

class RecordingShell : public ShortcutEffects {
 public:
  void CreateFolder(const std::string& folder) override { calls.push_back("folder " + folder); }
  bool CreateShortcut(const std::string& link_path, const std::string& target,
                      const std::string& arguments, const std::string& icon, int window_style,
                      const std::string& description, const std::string& hotkey) override {
    calls.push_back("link " + link_path + "|" + target + "|" + arguments + "|" + icon + "|" +
                    std::to_string(window_style) + "|" + description + "|" + hotkey);
    return true;
  }
  void PinToTaskbar(const std::string& folder, const std::string& file, int pin) override {
    calls.push_back("pin " + folder + "|" + file + "|" + std::to_string(pin));
  }
  bool FolderIsEmpty(const std::string& folder) override {
    calls.push_back("empty? " + folder);
    return empty;
  }
  void RemoveFolder(const std::string& folder) override { calls.push_back("remove " + folder); }

  bool empty = false;
  std::vector<std::string> calls;
};

TEST_F(PlanTest, CarryingOutTheStep) {
  for (bool empty : {true, false}) {
    context_.switches = {0, 0, 1};
    ShortcutSpec spec = Spec("产品", "app.exe", "%Desktop%,%MenuDir%\\产品,C:\\Q,%Unknown%\\Q");
    spec.arguments = "/a";
    std::vector<ShortcutSpec> specs = {spec};
    RecordingShell shell;
    shell.empty = empty;
    std::vector<std::string> log;
    CreateShortcutsWith(specs, context_, shell,
                        [&](const std::string& line) { log.push_back(line); });
    std::vector<std::string> expected = {
        "pin D:\\App|app.exe|1",
        "folder C:\\Users\\u\\Desktop",
        "folder C:\\P\\产品",
        "folder C:\\Q",
        "link C:\\Q\\产品|D:\\App\\app.exe|/a||0||",
        "empty? C:\\P\\产品",
    };
    if (empty) expected.push_back("remove C:\\P\\产品");
    EXPECT_EQ(shell.calls, expected);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "创建快捷方式: C:\\Q\\产品",
                       "拒绝创建快捷方式: %Unknown%\\Q\\产品 (位置中有未知的变量)"}));
  }
}

}  // namespace
