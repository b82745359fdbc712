// Page table, navigation, button states, the page flow over a recording view, component ticks
// and the finish step.
#include "wizard/wizard.h"

#include <gtest/gtest.h>

#include "install/install_run.h"
#include "package/exit_codes.h"

namespace {

InstallConfig Config(bool licence, bool components, bool directory) {
  InstallConfig c;
  if (licence) c.licence = "条款";
  c.components_page_visible = components;
  c.directory_page_visible = directory;
  return c;
}

TEST(WizardPages, EnabledFlagsFollowConfiguration) {
  struct Case {
    bool licence, components, directory;
    PageFlags flags;
  };
  const Case cases[] = {
      {false, false, false, {1, 0, 0, 0, 1, 1}},
      {true, false, false, {1, 1, 0, 0, 1, 1}},
      {false, true, false, {1, 0, 1, 0, 1, 1}},
      {false, false, true, {1, 0, 0, 1, 1, 1}},
      {true, true, true, {1, 1, 1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PageEnabledFlags(Config(c.licence, c.components, c.directory)), c.flags)
        << c.licence << c.components << c.directory;
  }
}

TEST(WizardPages, TableEntriesKeepTheirAddressesAndTheFlagBlockItsHeader) {
  WizardState state;
  InstallPageTable(BuildPageTable(Config(true, false, true)), state);
  const auto first = state.page_table;
  EXPECT_EQ(state.flag_block, (std::array<int32_t, 8>{1, 6, 1, 1, 0, 1, 1, 1}));
  InstallPageTable(BuildPageTable(Config(false, true, false)), state);
  EXPECT_EQ(state.page_table, first);
  EXPECT_EQ(state.flag_block, (std::array<int32_t, 8>{1, 6, 1, 0, 1, 0, 1, 1}));
  for (int i = 0; i < kPageCount; ++i) EXPECT_EQ(state.page_table[i]->index, i);
}

TEST(WizardPages, NavigationSkipsSwitchedOffPagesAndFallsBackToWelcome) {
  struct Case {
    PageFlags flags;
    int current, direction, target;
  };
  const Case cases[] = {
      {{1, 0, 0, 0, 1, 1}, 0, +1, 4},  // nothing to choose: Next installs at once
      {{1, 1, 0, 1, 1, 1}, 1, +1, 3},
      {{1, 1, 0, 1, 1, 1}, 3, -1, 1},
      {{1, 0, 1, 1, 1, 1}, 2, -1, 0},
      {{1, 1, 1, 1, 1, 1}, 5, +1, 0},  // past the last page
      {{0, 0, 0, 0, 0, 0}, 2, +1, 0},  // a plug-in switched every page off
      {{0, 0, 1, 0, 0, 0}, 2, -1, 0},
      {{1, 1, 1, 1, 1, 1}, 0, -1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NavigationTarget(c.flags.data(), c.current, c.direction), c.target)
        << c.current << " " << c.direction;
  }
  const PageFlags none{0, 0, 0, 0, 0, 0}, later{0, 0, 1, 1, 1, 1};
  EXPECT_EQ(FirstEnabledPage(none.data()), 0);
  EXPECT_EQ(FirstEnabledPage(later.data()), 2);
}

TEST(WizardPages, ButtonsOfEachPage) {
  struct Case {
    int page;
    bool agreed;
    bool back_visible, back_enabled;
    const char* next;
    bool next_enabled, next_default;
  };
  const Case cases[] = {
      {kPageWelcome, false, false, true, "下一步(&N)", true, true},
      {kPageLicence, false, true, true, "我接受(&I)", false, false},
      {kPageLicence, true, true, true, "我接受(&I)", true, false},
      {kPageComponents, false, true, true, "下一步(&N)", true, true},
      {kPageDirectory, false, true, true, "安装(&I)", true, true},
      {kPageInstalling, false, true, false, "下一步(&N)", false, true},
      {kPageFinish, false, false, true, "完成(&F)", true, true},
  };
  for (const Case& c : cases) {
    const ButtonStates b = PageButtons(c.page, c.agreed);
    EXPECT_EQ(b.back_visible, c.back_visible) << c.page;
    EXPECT_EQ(b.back_enabled, c.back_enabled) << c.page;
    EXPECT_EQ(b.next_caption, c.next) << c.page;
    EXPECT_EQ(b.next_enabled, c.next_enabled) << c.page;
    EXPECT_EQ(b.next_default, c.next_default) << c.page;
  }
}

// Records the flow's calls as one line of words.
class RecordingView : public WizardView {
 public:
  int current = 0;
  bool ticked = false;
  bool install_result = true;
  int veto_direction = 0;  // a plug-in keeps the page in this direction
  std::string log;

  int CurrentPage() override { return current; }
  void SelectPage(int page) override {
    current = page;
    log += "select" + std::to_string(page) + " ";
  }
  void SetButtons(const ButtonStates& b) override {
    log += std::string(b.back_visible ? "B" : "b") + (b.back_enabled ? "+" : "-") + "[" +
           b.next_caption + "]" + (b.next_enabled ? "+" : "-") + " ";
  }
  bool LicenceTicked() override { return ticked; }
  bool StartInstall() override {
    log += "install ";
    return install_result;
  }
  void Finish() override { log += "finish "; }
  bool PageChangeVetoed(int page, int direction) override {
    log += "ask" + std::to_string(page) + (direction > 0 ? "+ " : "- ");
    return direction == veto_direction;
  }
  void InstallationRan() override { log += "ran "; }
};

TEST(WizardFlow, PageChanges) {
  struct Case {
    const char* what;
    int current, target;
    bool ticked, agree_preset, install_result;
    const char* log;
    int page_after;
  };
  const Case cases[] = {
      {"to the components page", 0, 2, false, false, true, "B+[下一步(&N)]+ select2 ", 2},
      {"to welcome hides Back", 2, 0, false, false, true, "b+[下一步(&N)]+ select0 ", 0},
      {"licence not ticked", 0, 1, false, false, true, "B+[我接受(&I)]- select1 ", 1},
      {"licence ticked", 0, 1, true, false, true, "B+[我接受(&I)]+ select1 ", 1},
      {"licence agreed in advance", 0, 1, false, true, true, "B+[我接受(&I)]+ select1 ", 1},
      {"directory page", 2, 3, false, false, true, "B+[安装(&I)]+ select3 ", 3},
      {"install runs, then the finish page", 3, 4, false, false, true,
       "B-[下一步(&N)]- install ran b+[完成(&F)]+ select5 ", 5},
      {"install refused: stay, Install again", 3, 4, false, false, false,
       "B-[下一步(&N)]- install B+[安装(&I)]+ ", 3},
      {"on the finish page every change finishes", 5, 0, false, false, true, "finish ", 5},
  };
  for (const Case& c : cases) {
    RecordingView view;
    view.current = c.current;
    view.ticked = c.ticked;
    view.install_result = c.install_result;
    GoToPage(c.target, view, c.agree_preset);
    EXPECT_EQ(view.log, c.log) << c.what;
    EXPECT_EQ(view.current, c.page_after) << c.what;
  }
}

TEST(WizardFlow, NextFromWelcomeInstallsWhenNothingIsToChoose) {
  RecordingView view;
  const PageFlags flags = PageEnabledFlags(Config(false, false, false));
  Navigate(+1, view, flags.data(), false);
  EXPECT_EQ(view.log, "ask0+ B-[下一步(&N)]- install ran b+[完成(&F)]+ select5 ");
  view.log.clear();
  Navigate(+1, view, flags.data(), false);
  EXPECT_EQ(view.log, "ask5+ finish ");
}

// A plug-in that answers 1 keeps the page in that direction only; the finish page's Next is asked
// too.
TEST(WizardFlow, PlugInsKeepThePage) {
  RecordingView view;
  const PageFlags flags = PageEnabledFlags(Config(true, true, true));
  view.current = 2;
  view.veto_direction = +1;
  Navigate(+1, view, flags.data(), false);
  EXPECT_EQ(view.log, "ask2+ ");
  EXPECT_EQ(view.current, 2);
  view.log.clear();
  Navigate(-1, view, flags.data(), false);
  EXPECT_EQ(view.log, "ask2- B+[我接受(&I)]- select1 ");
  view.current = 5;
  view.log.clear();
  Navigate(+1, view, flags.data(), false);
  EXPECT_EQ(view.log, "ask5+ ");
}

// A page a plug-in inserted (index 6) stands where it was entered from: Back returns there, Next
// goes on from there; after the install began both lead to the finish page.
TEST(WizardFlow, InsertedPagesStandWhereTheyWereEntered) {
  const PageFlags flags = PageEnabledFlags(Config(true, true, true));
  struct Case {
    int from, direction;
    const char* log;
    const char* buttons;
  };
  const Case cases[] = {
      {kPageComponents, +1, "ask6+ B+[安装(&I)]+ select3 ", "B+[下一步(&N)]+"},
      {kPageComponents, -1, "ask6- B+[下一步(&N)]+ select2 ", "B+[下一步(&N)]+"},
      {kPageWelcome, +1, "ask6+ B+[我接受(&I)]- select1 ", "B+[下一步(&N)]+"},
      {kPageWelcome, -1, "ask6- b+[下一步(&N)]+ select0 ", "B+[下一步(&N)]+"},
      {kPageDirectory, +1, "ask6+ B-[下一步(&N)]- install ran b+[完成(&F)]+ select5 ",
       "B+[安装(&I)]+"},
      {kPageFinish, -1, "ask6- b+[完成(&F)]+ select5 ", "b+[下一步(&N)]+"},
      {kPageInstalling, +1, "ask6+ b+[完成(&F)]+ select5 ", "b+[下一步(&N)]-"},
  };
  for (const Case& c : cases) {
    struct View : RecordingView {
      int from = 0;
      int LastWizardPage() override { return from; }
    } view;
    view.current = 6;
    view.from = c.from;
    Navigate(c.direction, view, flags.data(), false);
    EXPECT_EQ(view.log, c.log) << c.from << " " << c.direction;
    view.log.clear();
    view.SetButtons(InsertedPageButtons(flags.data(), c.from));
    EXPECT_EQ(view.log, std::string(c.buttons) + " ") << c.from;
  }
}

std::string Ticks(const ComponentTree& tree) {
  std::string s;
  for (size_t i = 0; i < tree.Size(); ++i) s += tree.At(static_cast<int>(i))->checked ? '1' : '0';
  return s;
}

TEST(WizardComponents, TickSpreadsDownAndSettlesTheParent) {
  // 0 A            4 B
  //   1 A1           5 B1
  //     2 A1x
  //   3 A2
  auto make = [](const std::string& ticks) {
    ComponentTree tree;
    tree.Add("A", -1, false);
    tree.Add("A1", 0, false);
    tree.Add("A1x", 1, false);
    tree.Add("A2", 0, false);
    tree.Add("B", -1, false);
    tree.Add("B1", 4, false);
    for (size_t i = 0; i < ticks.size(); ++i) tree.SetChecked(static_cast<int>(i), ticks[i] == '1');
    return tree;
  };
  struct Case {
    const char* before;
    int position;
    bool checked;
    const char* after;
  };
  const Case cases[] = {
      {"000000", 0, true, "111100"},   // a parent ticks its whole subtree
      {"111111", 4, false, "111100"},
      {"000000", 3, true, "000100"},   // one of two children: the parent stays as it was
      {"100000", 3, true, "100100"},
      {"011100", 3, false, "011000"},  // A1 still ticked: A unchanged
      {"000100", 1, true, "111100"},   // all children ticked: the parent too
      {"111100", 1, false, "100100"},  // A2 still counts although A1's own child stands between
      {"000100", 3, false, "000000"},  // no child ticked: the parent is unticked
      {"000000", 2, true, "011000"},   // the grandparent is not touched
      {"010000", 9, true, "010000"},   // no such item
  };
  for (const Case& c : cases) {
    ComponentTree tree = make(c.before);
    ApplyComponentCheck(tree, c.position, c.checked);
    EXPECT_EQ(Ticks(tree), c.after) << c.before << " " << c.position << " " << c.checked;
  }
}

TEST(WizardModes, StartAndEnd) {
  EXPECT_EQ(StartActionFor("直接安装"), StartAction::kDirectInstall);
  EXPECT_EQ(StartActionFor("后台安装"), StartAction::kBackgroundInstall);
  EXPECT_EQ(StartActionFor("正常安装"), StartAction::kShowFirstPage);
  EXPECT_EQ(StartActionFor(""), StartAction::kShowFirstPage);
  struct Case {
    const char* mode;
    int show_finish;
    bool ends;
  };
  const Case cases[] = {
      {"后台安装", 1, true}, {"正常安装", -1, true}, {"直接安装", -1, true},
      {"直接安装", 1, false}, {"", 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(EndsAfterInstall(c.mode, c.show_finish), c.ends) << c.mode;
  EXPECT_EQ(QuitQuestion("墨桐软件", "1.0"), "当前未完成安装 墨桐软件1.0，是否退出安装？");
}

FinishOption Option(const char* command, bool ticked, bool visible = true) {
  FinishOption o;
  o.title = "t";
  o.command = command;
  o.ticked = ticked;
  o.visible = visible;
  return o;
}

TEST(WizardFinish, CommandsOfTheTickedOptions) {
  auto batch = [](std::string_view command) { return "\"BAT:" + std::string(command) + "\""; };
  struct Case {
    const char* what;
    std::vector<FinishOption> options;
    std::vector<bool> ticks;
    bool windows64;
    std::vector<std::string> commands;
  };
  const Case cases[] = {
      {"quotes and install path",
       {Option("**%InstallPath%\\a.exe** -x", true)}, {true}, false, {"\"C:\\P\\a.exe\" -x"}},
      {"the box's tick wins over the option's",
       {Option("a", true), Option("b", false)}, {false, true}, false, {"b"}},
      {"an option without a box keeps its tick",
       {Option("a", true), Option("b", true)}, {false}, false, {"b"}},
      {"hidden but ticked still runs",
       {Option("a", true, false)}, {true}, false, {"a"}},
      {"filtered by the system",
       {Option("[sys=64]x64.exe", true), Option("[sys=32]x86.exe", true)}, {true, true}, true,
       {"x64.exe"}},
      {"batch form after the filter and the path",
       {Option("cmd /c copy %InstallPath%\\a b%ET%del c", true)}, {true}, false,
       {"\"BAT:cmd /c copy C:\\P\\a b%ET%del c\""}},
      {"empty commands start nothing", {Option("", true)}, {true}, false, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FinishCommands(c.options, c.ticks, "C:\\P", c.windows64, batch), c.commands)
        << c.what;
  }
  // A batch that cannot be written starts nothing.
  EXPECT_TRUE(FinishCommands({Option("a%ET%b", true)}, {true}, "C:\\P", false,
                             [](std::string_view) { return std::string(); })
                  .empty());
}

class RecordingStarter : public ProgramStarter {
 public:
  std::vector<std::string> started;
  void StartProgram(const std::string& command, bool wait, bool hidden) override {
    started.push_back(command + (wait ? " wait" : "") + (hidden ? " hidden" : ""));
  }
};

TEST(WizardFinish, OptionsFirstThenFinishSectionsInTreeOrder) {
  const std::string store =
      "Extra\r\n｛\r\nInstall(){\r\n}\r\nUnzip(){\r\n}\r\nfinish(){\r\n[真]extra.exe\r\n}\r\n"
      "describe(){\r\n}\r\n｝\r\n\r\n"
      "Base\r\n｛\r\nInstall(){\r\n}\r\nUnzip(){\r\n}\r\nfinish(){\r\n[真]base.exe\r\n"
      "[假]never.exe\r\n}\r\ndescribe(){\r\n}\r\n｝\r\n\r\n";
  ComponentTree tree;
  tree.Add("Base", -1, true);
  tree.Add("Extra", 0, true);
  ScriptLists lists;
  RecordingStarter starter;
  ScriptContext context;
  context.tree = &tree;
  context.lists = &lists;
  context.starter = &starter;
  context.install_dir = "C:\\P";
  RunFinishActions({"\"C:\\P\\app.exe\"", "http://example.com"}, store, context);
  const std::vector<std::string> expected = {"\"C:\\P\\app.exe\"", "http://example.com",
                                             "base.exe wait hidden", "extra.exe wait hidden"};
  EXPECT_EQ(starter.started, expected);
}

}  // namespace

TEST(Wizard, DefaultEndNeverClaimsAnInstallThatDidNotHappen) {
  EXPECT_EQ(DefaultWizardEnd(false, false, 0, "").exit_code, unsigned(kExitNoPackage));
  EXPECT_EQ(DefaultWizardEnd(true, false, 0, "").exit_code, unsigned(kExitUserQuit));
  EXPECT_EQ(DefaultWizardEnd(true, false, 0, "").why, kQuitReason);
  EXPECT_EQ(DefaultWizardEnd(true, true, 4, "解压数据包出错").exit_code, 4u);
  EXPECT_EQ(DefaultWizardEnd(true, true, 0, "").exit_code, 0u);
}
