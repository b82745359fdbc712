// The main window, hidden: what the install run writes through InstallObserver is read back from
// the named controls, the way a plug-in or a user would see it.
#include "wizard/main_window.h"

#include <gtest/gtest.h>

#include "runtime/picture_win32.h"
#include "runtime/wide_win32.h"
#include "runtime/window_win32.h"
#include "wizard/wizard.h"

namespace {

using namespace control_names;

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitWindowToolkit(); }
  void SetUp() override { ASSERT_TRUE(window.Create("测试 安装")); }
  bool Shown(const char* name) { return IsControlShown(window.Control(name)); }
  MainWindow window;
};

TEST_F(MainWindowTest, ControlsAreFoundByTheirNames) {
  for (const char* name : {kTab, kBack, kNext, kCancel, kLicenceCheck, kTree, kPathBox, kBrowse,
                           kProgress, kStatusLabel, kLogList, kShowDetails, kFinishCheck}) {
    EXPECT_NE(window.Control(name), nullptr) << name;
  }
  EXPECT_EQ(window.Control("没有这个控件"), nullptr);
  EXPECT_EQ(ControlText(window.Control(kTab)), "备用_选择夹窗口");
  EXPECT_EQ(SendMessageW(window.Control(kTab), TCM_GETITEMCOUNT, 0, 0), kPageCount);
  EXPECT_EQ(window.Caption(), "测试 安装");
  RECT frame;
  GetWindowRect(window.handle(), &frame);
  EXPECT_EQ(frame.bottom - frame.top, 363);
  EXPECT_FALSE(IsWindowVisible(window.handle()));
  EXPECT_EQ(window.CurrentPage(), kPageWelcome);
}

TEST_F(MainWindowTest, PagesShowOnlyTheirOwnControls) {
  struct Case {
    int page;
    const char* shown;
    const char* hidden;
  };
  const Case cases[] = {
      {kPageWelcome, kWelcomePanel, kTree},
      {kPageLicence, kLicenceCheck, kPathBox},
      {kPageComponents, kTree, kLicenceCheck},
      {kPageDirectory, kPathBox, kProgress},
      {kPageInstalling, kProgress, kPathBox},
      {kPageFinish, "编辑框_完成0", kProgress},
  };
  for (const Case& c : cases) {
    window.SelectPage(c.page);
    EXPECT_EQ(window.CurrentPage(), c.page);
    EXPECT_TRUE(Shown(c.shown)) << c.page;
    EXPECT_FALSE(Shown(c.hidden)) << c.page;
    EXPECT_TRUE(Shown(kNext)) << c.page;
  }
  window.SelectPage(9);  // no such page: nothing changes
  EXPECT_EQ(window.CurrentPage(), kPageFinish);
}

TEST_F(MainWindowTest, LogLinesProgressAndPathBox) {
  window.SelectInstallingPage();
  EXPECT_EQ(window.CurrentPage(), kPageInstalling);
  window.ShowLogLine("抽取: a.txt", true);
  window.ShowLogLine("抽取: 目录\\b.txt", true);
  window.ShowLogLine("运行程序: c.exe", false);
  EXPECT_EQ(ControlText(window.Control(kStatusLabel)), "运行程序: c.exe");
  // A name outside GBK, recorded in its exact form, shows as it is in the list and the label.
  window.ShowLogLine("抽取: 目录\\Stra?00DFe.txt", true);
  wchar_t label[64] = {};
  GetWindowTextW(window.Control(kStatusLabel), label, 64);
  EXPECT_STREQ(label, L"抽取: 目录\\Stra\u00DFe.txt");
  HWND list = window.Control(kLogList);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
  wchar_t entry[64] = {};
  SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(entry));
  EXPECT_EQ(FromWide(entry), "抽取: 目录\\b.txt");
  SendMessageW(list, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(entry));
  EXPECT_STREQ(entry, L"抽取: 目录\\Stra\u00DFe.txt");

  const int percents[][2] = {{0, 0}, {42, 42}, {100, 100}, {150, 100}, {-3, 0}};
  for (const auto& p : percents) {
    window.SetProgress(p[0]);
    EXPECT_EQ(SendMessageW(window.Control(kProgress), PBM_GETPOS, 0, 0), p[1]) << p[0];
  }

  SetControlText(window.Control(kPathBox), "C:\\Program Files\\墨桐");
  EXPECT_EQ(window.PathBoxText(), "C:\\Program Files\\墨桐");
}

TEST_F(MainWindowTest, TextsPicturesAndTheSpareHeader) {
  WizardTexts texts = LayoutTexts();
  ApplyProductTexts("产品", "1.0", texts);
  window.ApplyTexts(texts);
  EXPECT_EQ(window.Caption(), "产品1.0-安装向导");
  EXPECT_EQ(ControlText(window.Control("编辑框_完成0")), "已完成 产品 1.0-安装程序");

  // A 1 x 1 white PNG as the large picture; bytes that do not decode as the small one.
  InstallConfig config;
  config.picture.bytes = std::string(
      "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00"
      "\x00\x01\x08\x06\x00\x00\x00\x1f\x15\xc4\x89\x00\x00\x00\x0b\x49\x44\x41\x54\x78\x9c\x63"
      "\xf8\x0f\x04\x00\x09\xfb\x03\xfd\xfb\x5e\x6b\x2b\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42"
      "\x60\x82",
      68);
  config.small_picture.bytes = "not a picture";
  window.ShowPictures(config);
  EXPECT_TRUE(HasPicture(window.Control("欢迎_图片框")));
  EXPECT_TRUE(HasPicture(window.Control("完成_图片框")));
  EXPECT_FALSE(HasPicture(window.Control("协议_图片框")));

  // The spare header is a model for plug-ins: shown on no page.
  for (int page = 0; page < kPageCount; ++page) {
    window.SelectPage(page);
    EXPECT_FALSE(Shown("备用_外形框1")) << page;
    EXPECT_FALSE(Shown("备用_编辑框版权")) << page;
  }
  // Cancel has nothing to cancel once the finish page is shown.
  EXPECT_FALSE(IsWindowEnabled(window.Control(kCancel)));
  window.SelectPage(kPageWelcome);
  EXPECT_TRUE(IsWindowEnabled(window.Control(kCancel)));
}

// The visible child of the window showing `text`; null when none does.
HWND ShownChildWithText(HWND window, const std::string& text) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsControlShown(child) && ControlText(child) == text) return child;
  }
  return nullptr;
}

TEST_F(MainWindowTest, HeaderCopiesFollowTheirPage) {
  WizardTexts texts = LayoutTexts();
  ApplyCompanyLines("插件公司", texts);
  window.ApplyTexts(texts);
  InstallConfig config;
  config.small_picture.bytes = std::string(
      "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00"
      "\x00\x01\x08\x06\x00\x00\x00\x1f\x15\xc4\x89\x00\x00\x00\x0b\x49\x44\x41\x54\x78\x9c\x63"
      "\xf8\x0f\x04\x00\x09\xfb\x03\xfd\xfb\x5e\x6b\x2b\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42"
      "\x60\x82",
      68);
  window.ShowPictures(config);

  window.SelectPage(kPageDirectory);
  HWND panel = window.AddHeaderCopy("插件标题", "插件副标题", true);
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(IsControlShown(panel));
  // Six parts in front of the page's own header, at the spare header's places.
  HWND heading = ShownChildWithText(window.handle(), "插件标题");
  ASSERT_NE(heading, nullptr);
  EXPECT_NE(ShownChildWithText(window.handle(), "插件副标题"), nullptr);
  EXPECT_NE(ShownChildWithText(window.handle(), "插件公司"), nullptr);
  EXPECT_EQ(SendMessageW(heading, WM_GETFONT, 0, 0),
            SendMessageW(window.Control("备用_主标题"), WM_GETFONT, 0, 0));
  RECT a, b;
  GetWindowRect(heading, &a);
  GetWindowRect(window.Control("编辑框_目录0"), &b);
  EXPECT_EQ(a.top, b.top);
  EXPECT_FALSE(IsControlShown(window.Control("编辑框_目录0")));  // the copy takes its place
  EXPECT_TRUE(IsControlShown(window.Control(kPathBox)));
  int copies = 0, pictures = 0;
  for (HWND child = panel; child; child = GetWindow(child, GW_HWNDPREV)) {
    ++copies;
    pictures += HasPicture(child) ? 1 : 0;
  }
  EXPECT_EQ(copies, 6);  // the panel and, in front of it, the five other parts
  EXPECT_EQ(pictures, 1);

  // They come and go with their page.
  window.SelectPage(kPageFinish);
  EXPECT_FALSE(IsControlShown(panel));
  EXPECT_EQ(ShownChildWithText(window.handle(), "插件标题"), nullptr);
  window.SelectPage(kPageDirectory);
  EXPECT_TRUE(IsControlShown(heading));

  // "NO" for both texts: only the panel.
  window.SelectPage(kPageComponents);
  HWND blank = window.AddHeaderCopy("NO", "NO", false);
  ASSERT_NE(blank, nullptr);
  EXPECT_TRUE(IsControlShown(blank));
  EXPECT_EQ(ShownChildWithText(window.handle(), "NO"), nullptr);
}

TEST_F(MainWindowTest, LogDisplayModesAndDetailsButton) {
  struct Case {
    int mode;
    bool list, button;
  };
  const Case cases[] = {{0, true, false}, {1, false, true}, {2, false, false}};
  for (const Case& c : cases) {
    MainWindow w;
    ASSERT_TRUE(w.Create("x"));
    w.SetLogDisplay(c.mode);
    w.SelectInstallingPage();
    EXPECT_EQ(IsControlShown(w.Control(kLogList)), c.list) << c.mode;
    EXPECT_EQ(IsControlShown(w.Control(kShowDetails)), c.button) << c.mode;
  }
  // The details button brings the list back and hides itself.
  window.SetLogDisplay(1);
  window.SelectInstallingPage();
  SendMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window.Control(kShowDetails)), BN_CLICKED),
               reinterpret_cast<LPARAM>(window.Control(kShowDetails)));
  EXPECT_TRUE(Shown(kLogList));
  EXPECT_FALSE(Shown(kShowDetails));
  // A picture for the installing page hides the list as well.
  window.ShowInstallingPicture(ConfigImage());
  EXPECT_FALSE(Shown(kLogList));
}

TEST_F(MainWindowTest, ButtonsAndFinishPage) {
  window.SetButtons(true, false, "安装(&I)", false, true);
  EXPECT_TRUE(Shown(kBack));
  EXPECT_FALSE(IsWindowEnabled(window.Control(kBack)));
  EXPECT_FALSE(IsWindowEnabled(window.Control(kNext)));
  EXPECT_EQ(ControlText(window.Control(kNext)), "安装(&I)");
  // The finish page's buttons, as the page flow sets them after an install.
  const ButtonStates finish = PageButtons(kPageFinish, true);
  window.SetButtons(finish.back_visible, finish.back_enabled, finish.next_caption,
                    finish.next_enabled, finish.next_default);
  EXPECT_EQ(ControlText(window.Control(kNext)), "完成(&F)");
  EXPECT_FALSE(Shown(kBack));
}

TEST_F(MainWindowTest, ComponentTreeShowsTheModel) {
  ComponentTree tree;
  tree.Add("基本组件", -1, true);
  tree.Add("子项", 0, false);
  tree.Add("桌面快捷方式", -1, true);
  window.ShowComponentTree(tree);
  HWND view = window.Control(kTree);
  EXPECT_EQ(SendMessageW(view, TVM_GETCOUNT, 0, 0), 3);
  HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(view, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  HTREEITEM child =
      reinterpret_cast<HTREEITEM>(SendMessageW(view, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
  ASSERT_NE(child, nullptr);
  auto ticked = [&](HTREEITEM item) {
    TVITEMW state = {};
    state.mask = TVIF_STATE;
    state.hItem = item;
    state.stateMask = TVIS_STATEIMAGEMASK;
    SendMessageW(view, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&state));
    return ((state.state & TVIS_STATEIMAGEMASK) >> 12) == 2;
  };
  EXPECT_TRUE(ticked(root));
  EXPECT_FALSE(ticked(child));
  tree.SetChecked(1, true);
  window.RefreshComponentTicks(tree);
  EXPECT_TRUE(ticked(child));
}

TEST_F(MainWindowTest, TickingATreeItemReachesTheWizard) {
  ComponentTree tree;
  tree.Add("基本组件", -1, false);
  tree.Add("桌面快捷方式", -1, false);
  window.ShowComponentTree(tree);
  std::vector<std::pair<int, bool>> changes;
  MainWindow::Handlers handlers;
  handlers.component_check = [&](int position, bool checked) { changes.push_back({position, checked}); };
  window.SetHandlers(handlers);
  HWND view = window.Control(kTree);
  HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(view, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  HTREEITEM second = reinterpret_cast<HTREEITEM>(
      SendMessageW(view, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root)));
  SendMessageW(view, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(second));
  SendMessageW(view, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageW(view, WM_KEYUP, VK_SPACE, 0);
  window.LetMessagesRun();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], std::make_pair(1, true));
}

TEST_F(MainWindowTest, FinishOptionBoxesStandInRows) {
  std::vector<FinishOption> options(3);
  const char* titles[] = {"运行 墨桐软件 1.0", "隐藏的", "访问网站"};
  for (int i = 0; i < 3; ++i) {
    options[i].title = titles[i];
    options[i].visible = i != 1;
    options[i].ticked = i != 2;
  }
  window.ShowFinishOptions(options, FinishOptionTops(options, 132));
  window.ShowFinishOptions(options, FinishOptionTops(options, 132));  // replaces, never doubles
  window.SelectPage(kPageFinish);
  const int tops[] = {132, 132, 158};
  const bool shown[] = {true, false, true};
  for (int k = 0; k < 3; ++k) {
    HWND box = window.Control(std::string(kFinishOptionStem) + std::to_string(k + 1));
    ASSERT_NE(box, nullptr);
    RECT r;
    GetWindowRect(box, &r);
    MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.top, tops[k]) << k;
    EXPECT_EQ(IsControlShown(box), shown[k]) << k;
    EXPECT_EQ(ControlText(box), titles[k]);
  }
  EXPECT_EQ(window.FinishTicks(), (std::vector<bool>{true, true, false}));
  EXPECT_FALSE(Shown(kFinishCheck));
}

TEST_F(MainWindowTest, TaskbarProgressStartsAndStops) {
  window.StartTaskbarProgress();
  EXPECT_TRUE(window.taskbar_running());  // the shell's object answers to the interface asked for
  window.SetProgress(30);
  window.StopTaskbarProgress();
  EXPECT_FALSE(window.taskbar_running());
  window.StopTaskbarProgress();  // twice is harmless
}

// The input box is answered from a thread timer, which runs inside the box's own message loop.
struct Answer {
  const wchar_t* text;
  int button;
};
Answer g_answer;

void CALLBACK AnswerInputBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowW(kInputBoxClass, nullptr);
  if (!box) return;
  KillTimer(nullptr, timer);
  HWND edit = GetDlgItem(box, kInputBoxEditId);
  SetWindowTextW(edit, g_answer.text);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(g_answer.button, BN_CLICKED), 0);
}

TEST_F(MainWindowTest, PasswordBoxReturnsTheEntryOrCancel) {
  struct Case {
    const wchar_t* typed;
    int button;
    bool accepted;
    const char* entered;
  };
  const Case cases[] = {
      {L"s3cret密码", IDOK, true, "s3cret密码"},
      {L"ignored", IDCANCEL, false, "unchanged"},
      {L"", IDOK, true, ""},
  };
  for (const Case& c : cases) {
    g_answer = {c.typed, c.button};
    SetTimer(nullptr, 0, 10, AnswerInputBox);
    std::string entered = "unchanged";
    EXPECT_EQ(window.AskPassword(kPasswordPrompt, entered), c.accepted);
    EXPECT_EQ(entered, c.entered);
  }
  // The password field is masked.
  HWND probe = CreateControl(window.handle(), ControlKind::kPasswordEdit, "", 0, 0, 10, 10);
  EXPECT_NE(SendMessageW(probe, EM_GETPASSWORDCHAR, 0, 0), 0);
}

}  // namespace
