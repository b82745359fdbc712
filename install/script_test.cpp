// Tests of the component script: block and section look-up, the tree set-up from "Treelists",
// the "基本组件勾选" ticks, descriptions and the line interpreter in its three modes.
#include <gtest/gtest.h>

#include "install/component_tree.h"
#include "install/script_interpreter.h"
#include "install/script_store.h"
#include "runtime/files.h"

namespace {

// A block as the package builder stores it; bodies are given without their leading CR LF.
std::string Block(const std::string& name, const std::string& install, const std::string& unzip = "",
                  const std::string& finish = "", const std::string& describe = "") {
  return name + "\r\n｛\r\nInstall(){\r\n" + install + "\r\n}\r\nUnzip(){\r\n" + unzip +
         "\r\n}\r\nfinish(){\r\n" + finish + "\r\n}\r\ndescribe(){" + describe + "\r\n}\r\n｝\r\n\r\n";
}

std::string Tree(const std::string& lines, const std::string& geometry = "") {
  return "Treelists\r\n｛\r\nInstall(){" + lines + "\r\n}\r\nUnzip(){" + geometry +
         "\r\n}\r\nfinish(){\r\n}\r\ndescribe(){\r\n}\r\n｝\r\n\r\n";
}

TEST(ScriptStore, BlockLookUpTraps) {
  const std::string my_setup = Block("MySetup", "[真]assignzip(my)");
  const std::string setup = Block("Setup", "[真]assignzip(plain)");
  const std::string setup2 = Block("Setup2", "[真]assignzip(two)");
  struct Case {
    const char* name;
    std::string store;
    const char* block;
    const char* section;
    bool found;
    std::string text;
  } cases[] = {
      {"a longer name that follows does not stop the search", setup2 + setup, "Setup", "Install",
       true, "\r\n[真]assignzip(plain)"},
      {"a name ending in the wanted one that comes first does", my_setup + setup, "Setup",
       "Install", true, "\r\n[真]assignzip(my)"},
      {"sections in order", setup, "Setup", "Unzip", true, "\r\n"},
      {"describe has no leading line break here", Block("A", "", "", "", "words"), "A",
       "describe", true, "words"},
      {"missing block", setup, "Other", "Install", false, ""},
      {"missing section", setup, "Setup", "Uninstall", true, ""},
      {"a lone } line ends the section early",
       Block("A", "[真]assignzip(a)\r\n}\r\n[真]assignzip(b)"), "A", "Install", true,
       "\r\n[真]assignzip(a)"},
      {"no closing ｝: no block", "A\r\n｛\r\nInstall(){\r\n[真]x\r\n}\r\n", "A", "Install", false,
       ""},
      {"no closing line: empty section", "A\r\n｛\r\nInstall(){\r\n[真]x｝\r\n\r\n", "A",
       "Install", true, ""},
      {"the name must be followed by CR LF ｛", "A\r\nB\r\n｛\r\nInstall(){x\r\n}\r\n｝\r\n\r\n",
       "A", "Install", false, ""},
      {"case matters", setup, "setup", "Install", false, ""},
      {"an empty name names no block", setup, "", "Install", false, ""},
      {"a block ends at its ｝: later sections are not its own",
       "A\r\n｛\r\n｝\r\n\r\n" + setup, "A", "Install", true, ""},
  };
  for (const Case& c : cases) {
    const ScriptLookup got = LookUpScript(c.store, c.block, c.section);
    EXPECT_EQ(got.found, c.found) << c.name;
    EXPECT_EQ(got.text, c.text) << c.name;
  }
  // With no section the whole block comes back, up to ｝ and the empty line after it.
  EXPECT_EQ(LookUpScript(setup2 + setup, "Setup", "").text, setup);
  EXPECT_EQ(LookUpScript("X\r\n｛\r\n｝", "X", "").text, "X\r\n｛\r\n｝");
}

std::string Describe(const ComponentTree& tree) {
  std::string out;
  for (size_t i = 0; i < tree.Size(); ++i) {
    const ComponentTree::Item* item = tree.At(static_cast<int>(i));
    out += std::string(item->depth * 2, ' ') + item->text + (item->checked ? "[x]" : "[ ]") +
           (item->expanded ? "+" : "") + "\n";
  }
  return out;
}

TEST(ComponentTree, SetUpFromTreelists) {
  struct Case {
    const char* name;
    std::string lines;
    std::string tree;
  } cases[] = {
      {"children go after their parent's last descendant",
       "Main$,-1$,1$,真\r\nExtras$,0$,1$,真\r\nDocs$,1$,0$,假\r\nMore$,0$,0$,假\r\nTools$,-1$,0$,假",
       "Main[x]+\n  Extras[x]+\n    Docs[ ]\n  More[ ]\nTools[ ]\n"},
      {"a parent beyond the items makes a top-level item", "A$,-1$,1$,真\r\nB$,7$,1$,假",
       "A[x]+\nB[x]\n"},
      {"non-numeric fields count as 0", "A$,x$,y$,z\r\nB$,x$,1", "A[ ]\n  B[x]\n"},
      {"missing fields: parent 0, unchecked", "A\r\nB", "A[ ]\n  B[ ]\n"},
      {"blank lines add nothing", "\r\nA$,-1$,1$,假\r\n\r\nB$,-1$,1$,真", "A[x]\nB[x]+\n"},
      {"expansion follows line order, not the item a line added",
       "A$,-1$,1$,假\r\nB$,-1$,1$,假\r\nC$,0$,1$,真", "A[x]\n  C[x]\nB[x]+\n"},
      {"empty content", "", ""},
  };
  for (const Case& c : cases) {
    ComponentTree tree;
    tree.Add("left over", -1, true);
    const TreeSetup setup = SetUpComponentTree(Tree(c.lines), tree);
    EXPECT_EQ(Describe(tree), c.tree) << c.name;
    EXPECT_EQ(setup.added, !c.tree.empty()) << c.name;
  }
}

TEST(ComponentTree, PositionsAndParents) {
  ComponentTree tree;
  SetUpComponentTree(Tree("A$,-1$,1\r\nB$,0$,0\r\nC$,1$,1\r\nD$,-1$,1\r\nB$,3$,1"), tree);
  EXPECT_EQ(tree.ParentOf(0), -1);
  EXPECT_EQ(tree.ParentOf(2), 1);
  EXPECT_EQ(tree.ParentOf(4), 3);
  EXPECT_EQ(tree.ParentOf(9), -1);
  EXPECT_EQ(tree.Find("B"), 1);  // the first of two items with one name
  EXPECT_EQ(tree.CheckStateOf("B"), 0);
  EXPECT_EQ(tree.CheckStateOf("missing"), -1);
  EXPECT_EQ(tree.CheckState(5), -1);
  EXPECT_EQ(tree.CheckState(-1), -1);
}

TEST(ComponentTree, Geometry) {
  struct Case {
    const char* text;
    bool moved;
    TreeGeometry box;
  } cases[] = {
      {"10,20,300,200", true, {10, 20, 300, 200}},
      {"\r\n10, 20,300,200", true, {10, 20, 300, 200}},
      {"10,20,300", false, {}},
      {"10,20,300,200,5", false, {}},
      {"", false, {}},
      {"a,b,c,d", true, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    ComponentTree tree;
    const TreeSetup setup = SetUpComponentTree(Tree("", c.text), tree);
    ASSERT_EQ(setup.geometry.has_value(), c.moved) << c.text;
    if (c.moved) {
      EXPECT_EQ(setup.geometry->left, c.box.left);
      EXPECT_EQ(setup.geometry->top, c.box.top);
      EXPECT_EQ(setup.geometry->width, c.box.width);
      EXPECT_EQ(setup.geometry->height, c.box.height);
    }
  }
}

TEST(ComponentTree, BasicChecks) {
  struct Case {
    std::array<std::string, 3> parts;
    int items;
    std::string states;  // check state of each item
  } cases[] = {
      {{"真", "", "真"}, 4, "0101"},
      {{"真", "真", "真"}, 4, "1111"},
      {{"真", "假", ""}, 2, "11"},  // items 2 and 3 do not exist, item 1 is ticked
      {{"假", "", ""}, 2, "00"},
      {{"", "", ""}, 1, "1"},
  };
  for (const Case& c : cases) {
    ComponentTree tree;
    for (int i = 0; i < c.items; ++i) tree.Add("item" + std::to_string(i), -1, i == 2);
    ApplyBasicChecks(c.parts, tree);
    std::string states;
    for (int i = 0; i < c.items; ++i) states += std::to_string(tree.CheckState(i));
    EXPECT_EQ(states, c.states) << c.parts[0] << "," << c.parts[1] << "," << c.parts[2];
  }
}

TEST(ComponentTree, Descriptions) {
  const std::string store = Tree("Main$,-1$,1\r\nDesk$,-1$,1\r\nPlain$,-1$,1") +
                            Block("Main", "setdesktop()", "", "", "The main program");
  ComponentTree tree;
  SetUpComponentTree(store, tree);
  tree.SetMark(0, kMarkDesktop);
  tree.SetMark(1, kMarkStartMenu);

  DescriptionText d = DescribeComponent(store, tree, 0);
  EXPECT_TRUE(d.has_block && d.change);
  EXPECT_EQ(d.text, "The main program");
  d = DescribeComponent(store, tree, 1);
  EXPECT_FALSE(d.has_block);
  EXPECT_TRUE(d.change);
  EXPECT_EQ(d.text, "在开始的菜单文件夹里增加快捷方式的组件");
  d = DescribeComponent(store, tree, 2);
  EXPECT_FALSE(d.has_block || d.change);
}

// Records the commands it is asked to start; batch files are read and removed.
class RecordingStarter : public ProgramStarter {
 public:
  void StartProgram(const std::string& command, bool wait, bool hidden) override {
    std::string entry = command;
    if (EndsWith(command, ".bat\"")) {
      const std::string path = command.substr(1, command.size() - 2);
      Bytes content;
      ReadWholeFile(path, content);
      // Every batch ends by removing itself; the run has ended, so the file goes.
      const std::string last = std::string(kBatchSelfRemoval) + "\r\n";
      EXPECT_TRUE(EndsWith(content, last)) << content;
      if (EndsWith(content, last)) content.resize(content.size() - last.size());
      BatchRunEnded(path);
      EXPECT_FALSE(FileExists(path));
      entry = "bat:" + content;
    }
    started.push_back(entry + (wait ? " (wait" : " (nowait") + (hidden ? ",hidden)" : ")"));
  }
  std::vector<std::string> started;
};

struct Interpreter {
  ComponentTree tree;
  ScriptLists lists;
  RecordingStarter starter;
  ScriptContext context;
  Interpreter() {
    tree.Add("On", -1, true);
    tree.Add("Off", -1, false);
    context.tree = &tree;
    context.lists = &lists;
    context.install_dir = "C:\\App";
    context.starter = &starter;
  }
};

TEST(ScriptInterpreter, InstallModeFollowsTheCheckState) {
  struct Case {
    const char* name;
    const char* component;
    std::string section;
    std::string include, exclude, dump;
    std::vector<std::string> started;
  } cases[] = {
      {"chosen lines run for a ticked component", "On",
       "\r\n[真]assignzip(a.dll,b.dll)\r\n[假]assignzip(skipped)\r\n[真]assignzip(c.dll)", "a.dll,b.dll,c.dll",
       "", "", {}},
      {"unchosen lines run for an unticked one", "Off",
       "[假]removezip(docs)\r\n[真]removezip(no)\r\n[假]removezip(more)", "", "docs,more", "", {}},
      {"a component missing from the tree runs nothing", "Gone", "[真]assignzip(x)\r\n[假]assignzip(y)",
       "", "", "", {}},
      {"only the two bytes after the first count", "On", "(真]assignzip(x)\r\n[真 assignzip(y)", "x", "",
       "", {}},
      {"removedump replaces the list", "On", "[真]removedump(a,b)\r\n[真]removedump(c\\d,e)", "", "",
       "c\\d|e", {}},
      {"unknown and misspelt commands are skipped", "On", "[真]asignzip(x)\r\n[真](y)\r\n[真]ASSIGNZIP(z)",
       "", "", "", {}},
      {"command lines: install path, hidden and waiting", "On",
       "[真]\"%InstallPath%\\setup.exe\" /S %InstallPath%", "", "", "",
       {"\"C:\\App\\setup.exe\" /S C:\\App (wait,hidden)"}},
      {"a command line with ( is a command name, not a line", "On",
       "[真]\"C:\\Program Files (x86)\\a.exe\"", "", "", "", {}},
      {"blank lines and empty commands start nothing", "Off", "\r\n  \r\n[假]\r\n[假]   ", "", "", "",
       {}},
      {"batch form", "On", "[真]cmd /c echo %InstallPath%%ET%CMD /C del x", "", "", "",
       {"bat:echo C:\\App\r\nCMD /C del x\r\n (wait,hidden)"}},
      {"batch form drops a cmd /c in any case", "On", "[真]Cmd /C copy a b%ET%", "", "", "",
       {"bat:copy a b\r\n (wait,hidden)"}},
      {"a missing ) takes the rest", "On", "[真]assignzip(a,b", "a,b", "", "", {}},
  };
  for (const Case& c : cases) {
    Interpreter r;
    RunScriptSection(c.section, c.component, kScriptInstall, r.context);
    EXPECT_EQ(r.lists.include, c.include) << c.name;
    EXPECT_EQ(r.lists.exclude, c.exclude) << c.name;
    std::string dump;
    for (const auto& e : r.lists.remove_dump) dump += (dump.empty() ? "" : "|") + e;
    EXPECT_EQ(dump, c.dump) << c.name;
    EXPECT_EQ(r.starter.started, c.started) << c.name;
  }
}

TEST(ScriptInterpreter, ShortcutMarkersActWhateverTheState) {
  struct Case {
    const char* component;
    const char* line;
    int mark_on, mark_off;
  } cases[] = {
      {"Off", "setdesktop()", 0, kMarkDesktop},
      {"On", "[假]setstartmenu()", kMarkStartMenu, 0},
      {"On", "[真]assignzip(x) setquicklaunch()", kMarkQuickLaunch, 0},
      {"On", "setquicklaunch() setdesktop()", kMarkDesktop, 0},  // tested in a fixed order
      {"Gone", "setdesktop()", 0, 0},
  };
  for (const Case& c : cases) {
    Interpreter r;
    RunScriptSection(c.line, c.component, kScriptInstall, r.context);
    EXPECT_EQ(r.tree.At(0)->mark, c.mark_on) << c.line;
    EXPECT_EQ(r.tree.At(1)->mark, c.mark_off) << c.line;
    EXPECT_EQ(r.lists.include, "") << c.line;  // the rest of a marker line is not interpreted
  }
}

TEST(ScriptInterpreter, UninstallModesIgnoreTheTree) {
  const std::string section =
      "[真]removedump(data,logs)\r\n[假]removedump(cache)\r\n[真]assignzip(x)\r\n"
      "[假]removezip(y)\r\n[真]setdesktop()\r\n[真]%InstallPath%\\clean.exe\r\n[假]keep.exe";
  struct Case {
    int mode;
    const char* dump;
    std::vector<std::string> started;
  } cases[] = {
      {kScriptUninstallTicked, "data|logs", {"C:\\App\\clean.exe (wait,hidden)"}},
      {kScriptUninstallUnticked, "cache", {"keep.exe (wait,hidden)"}},
  };
  for (const Case& c : cases) {
    Interpreter r;
    r.context.tree = nullptr;
    RunScriptSection(section, "Gone", c.mode, r.context);
    std::string dump;
    for (const auto& e : r.lists.remove_dump) dump += (dump.empty() ? "" : "|") + e;
    EXPECT_EQ(dump, c.dump);
    EXPECT_EQ(r.lists.include + r.lists.exclude, "");
    EXPECT_EQ(r.starter.started, c.started);
  }
}

TEST(ScriptInterpreter, TreeSectionsRunInTreeOrder) {
  const std::string store =
      Tree("Base$,-1$,1\r\nDocs$,0$,0\r\nDesktop$,-1$,0") +
      Block("Docs", "[假]removezip(docs)", "[假]docs-off.exe") +
      Block("Base", "[真]assignzip(base.dll)", "[真]base-on.exe") +
      Block("Desktop", "setdesktop()\r\n[真]assignzip(never)");
  Interpreter r;
  SetUpComponentTree(store, r.tree);
  RunTreeSections(store, kInstallSection, r.context);
  EXPECT_EQ(r.lists.include, "base.dll");
  EXPECT_EQ(r.lists.exclude, "docs");
  EXPECT_EQ(r.tree.At(2)->mark, kMarkDesktop);
  RunTreeSections(store, kUnzipSection, r.context);
  EXPECT_EQ(r.starter.started,
            (std::vector<std::string>{"base-on.exe (wait,hidden)", "docs-off.exe (wait,hidden)"}));
}

}  // namespace
