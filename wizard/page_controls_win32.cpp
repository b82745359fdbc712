// Makes the wizard's controls from the layout table: kinds, fonts, scale, texts.
#include "wizard/page_controls_win32.h"

#include "runtime/picture_win32.h"
#include "runtime/window_win32.h"
#include "wizard/wizard.h"

namespace {

ControlKind KindOf(LayoutKind kind) {
  switch (kind) {
    case LayoutKind::kButton: return ControlKind::kButton;
    case LayoutKind::kDefaultButton: return ControlKind::kDefaultButton;
    case LayoutKind::kCheckBox: return ControlKind::kCheckBox;
    case LayoutKind::kCompanyLine: return ControlKind::kSingleLine;
    case LayoutKind::kEdit: return ControlKind::kEdit;
    case LayoutKind::kReadOnlyText: return ControlKind::kReadOnlyText;
    case LayoutKind::kListBox: return ControlKind::kListBox;
    case LayoutKind::kProgressBar: return ControlKind::kProgressBar;
    case LayoutKind::kTabControl: return ControlKind::kTabControl;
    case LayoutKind::kTreeView: return ControlKind::kTreeView;
    case LayoutKind::kGroupBox: return ControlKind::kGroupBox;
    case LayoutKind::kPanel: return ControlKind::kPanel;
    case LayoutKind::kWhitePanel: return ControlKind::kPanel;
    case LayoutKind::kRule: return ControlKind::kRule;
    default: return ControlKind::kLabel;
  }
}

std::string CaptionOf(const std::string& name, const WizardTexts& texts) {
  if (name == "上一步_按钮") return kBackCaption;
  if (name == "下一步_按钮") return kNextCaption;
  if (name == "取消按钮_主窗口") return kCancelCaption;
  if (name == "浏览目录") return "浏览(&B)...";
  if (name == "按钮_显示细节") return "显示细节(&D)";
  const auto found = texts.find(name);
  return found == texts.end() ? std::string() : found->second;
}

}  // namespace

std::vector<MadeControl> MakeWizardControls(HWND window, const WizardTexts& texts) {
  RECT client;
  GetClientRect(window, &client);
  // The layout is in 96-dpi units; the client area is in pixels of this screen.
  const int dpi = ScreenDpi();
  const int width = MulDiv(client.right, 96, dpi), height = MulDiv(client.bottom, 96, dpi);
  std::vector<MadeControl> made;
  int next_id = 100;
  for (const LayoutControl& c : WizardLayout(width, height)) {
    const int x = ScaleToDpi(c.x), y = ScaleToDpi(c.y);
    // Right and bottom edges are scaled, so neighbours meet without a gap from rounding.
    const int w = ScaleToDpi(c.x + c.width) - x, h = ScaleToDpi(c.y + c.height) - y;
    const int id = c.id ? c.id : next_id++;
    HWND handle = nullptr;
    if (c.kind == LayoutKind::kPicture) {
      const bool white = c.page != kPageInstalling || std::string(c.name) == "安装_小图片框";
      handle = CreatePictureBox(window, x, y, w, h,
                                white ? RGB(255, 255, 255) : GetSysColor(COLOR_BTNFACE), id);
    } else {
      handle = CreateControl(window, KindOf(c.kind), CaptionOf(c.name, texts), x, y, w, h, id);
    }
    if (!handle) continue;
    if (c.kind == LayoutKind::kHeading) SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(HeadingFont()), FALSE);
    if (c.kind == LayoutKind::kTitle) SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(TitleFont()), FALSE);
    made.push_back({c.name, handle, c.page, c.shown, c.on_white || c.kind == LayoutKind::kWhitePanel, c.kind});
  }
  return made;
}
