// The wizard's layout table.
#include "wizard/wizard_layout.h"

std::vector<LayoutControl> WizardLayout(int w, int h) {
  using K = LayoutKind;
  const int rule = h - 46;  // the line above the buttons
  const int buttons = h - 36;
  const int side = 164;     // picture column of the welcome and finish pages
  const int text_left = kFinishOptionLeft, text_width = w - text_left - 12;
  const int body = 66;      // below a page header
  std::vector<LayoutControl> c = {
      {"选择夹1", kOnEveryPage, K::kTabControl, 0, 0, w, rule, 0, false},
      // Welcome.
      {"欢迎_外形框", 0, K::kWhitePanel, 0, 0, w, rule, 0},
      {"欢迎_图片框", 0, K::kPicture, 0, 0, side, rule, 0},
      {"编辑框_欢迎0", 0, K::kTitle, text_left, 16, text_width, 48, 0, true, true},
      {"编辑框_欢迎1", 0, K::kLabel, text_left, 72, text_width, rule - 80, 0, true, true},
      {"欢迎_分隔线", 0, K::kRule, 0, rule, w, 2, 0},
      // Finish.
      {"完成_外形框", 5, K::kWhitePanel, 0, 0, w, rule, 0},
      {"完成_图片框", 5, K::kPicture, 0, 0, side, rule, 0},
      {"编辑框_完成0", 5, K::kTitle, text_left, 16, text_width, 48, 0, true, true},
      {"编辑框_完成1", 5, K::kLabel, text_left, 72, text_width, 52, 0, true, true},
      {"初始化的选择框", 5, K::kCheckBox, text_left, 132, text_width, 20, 0, false, true},
      {"完成_分隔线", 5, K::kRule, 0, rule, w, 2, 0},
  };
  // The header of the licence, components, directory and installing pages.
  static const char* const panels[] = {"协议_外形框", "组件_外形框", "目录_外形框", "安装_外形框"};
  static const char* const headings[] = {"编辑框_协议0", "编辑框_组件0", "编辑框_目录0", "编辑框_安装0"};
  static const char* const subtitles[] = {"编辑框_协议1", "编辑框_组件1", "编辑框_目录1", "编辑框_安装1"};
  static const char* const pictures[] = {"协议_图片框", "组件_图片框", "目录_图片框", "安装_小图片框"};
  static const char* const rules[] = {"协议_分隔线", "组件_分隔线", "目录_分隔线", "安装_分隔线"};
  static const char* const companies[] = {"编辑框_协议版权", "编辑框_组件版权", "编辑框_目录版权",
                                          "编辑框_安装版权"};
  for (int page = 1; page <= 4; ++page) {
    const int i = page - 1;
    c.push_back({panels[i], page, K::kWhitePanel, 0, 0, w, 57, 0});
    c.push_back({headings[i], page, K::kHeading, 14, 9, w - 90, 18, 0, true, true});
    c.push_back({subtitles[i], page, K::kLabel, 26, 30, w - 100, 18, 0, true, true});
    c.push_back({pictures[i], page, K::kPicture, w - 58, 1, 55, 55, 0});
    c.push_back({rules[i], page, K::kRule, 0, 57, w, 2, 0});
    c.push_back({companies[i], page, K::kCompanyLine, 10, rule - 7, w - 20, 16, 0});
  }
  const std::vector<LayoutControl> pages = {
      // Licence.
      {"协议_上标签", 1, K::kLabel, 14, body + 2, w - 28, 16, 0},
      {"协议_编辑框", 1, K::kReadOnlyText, 14, body + 20, w - 28, rule - 66 - body - 24, 0},
      {"协议_下标签", 1, K::kLabel, 14, rule - 64, w - 28, 32, 0},
      {"选择框_条款", 1, K::kCheckBox, 14, rule - 30, w - 28, 20, kLicenceCheckId},
      // Components.
      {"编辑框_组件2", 2, K::kLabel, 14, body, w - 28, 30, 0},
      {"编辑框_组件3", 2, K::kLabel, 14, body + 34, 220, 16, 0},
      {"树型框1", 2, K::kTreeView, 14, body + 52, 220, rule - 14 - body - 52, kTreeId},
      {"组件_提示框", 2, K::kGroupBox, 246, body + 46, w - 260, rule - 14 - body - 46, 0},
      {"组件描述_编辑框", 2, K::kLabel, 256, body + 66, w - 280, rule - 22 - body - 66, 0},
      // Directory.
      {"编辑框_目录2", 3, K::kLabel, 14, body, w - 28, 48, 0},
      {"分组框_目标文件夹", 3, K::kGroupBox, 14, body + 56, w - 28, 58, 0},
      {"安装路径_编辑框", 3, K::kEdit, 26, body + 80, w - 150, 24, kPathBoxId},
      {"浏览目录", 3, K::kButton, w - 112, body + 79, 86, 26, kBrowseId},
      {"外形框_显示空间", 3, K::kPanel, 14, body + 124, w - 28, 44, 0, false},
      {"标签_所需空间", 3, K::kLabel, 14, body + 128, 260, 16, 0, false},
      {"标签_可用空间", 3, K::kLabel, 14, body + 148, 260, 16, 0, false},
      // Installing.
      {"解压_标签", 4, K::kLabel, 14, body + 4, w - 28, 16, 0},
      {"进度条1", 4, K::kProgressBar, 14, body + 24, w - 28, 18, 0},
      {"按钮_显示细节", 4, K::kButton, 14, body + 54, 100, 26, kShowDetailsId, false},
      {"超级列表框", 4, K::kListBox, 14, body + 54, w - 28, rule - 14 - body - 54, 0},
      {"安装_图片框", 4, K::kPicture, 14, body + 54, w - 28, rule - 14 - body - 54, 0, false},
      // The spare header plug-ins copy for the pages they add.
      {"备用_外形框1", kOnNoPage, K::kWhitePanel, 0, 0, w, 57, 0, false},
      {"备用_主标题", kOnNoPage, K::kHeading, 14, 9, w - 90, 18, 0, false, true},
      {"备用_备注标题", kOnNoPage, K::kLabel, 26, 30, w - 100, 18, 0, false, true},
      {"备用_图片框", kOnNoPage, K::kPicture, w - 58, 1, 55, 55, 0, false},
      {"备用_分隔线", kOnNoPage, K::kRule, 0, 57, w, 2, 0, false},
      {"备用_编辑框版权", kOnNoPage, K::kCompanyLine, 10, rule - 7, w - 20, 16, 0, false},
      // The buttons, last in the Tab order.
      {"上一步_按钮", kOnEveryPage, K::kButton, w - 262, buttons, 80, 26, kBackId},
      {"下一步_按钮", kOnEveryPage, K::kDefaultButton, w - 180, buttons, 80, 26, kNextId},
      {"取消按钮_主窗口", kOnEveryPage, K::kButton, w - 90, buttons, 80, 26, 2 /* IDCANCEL */},
  };
  c.insert(c.end(), pages.begin(), pages.end());
  return c;
}
