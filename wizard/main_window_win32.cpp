// The main window of the install wizard: layout, page switching, the controls the install run
// fills, and the taskbar progress.
#include "wizard/main_window.h"

#include <shobjidl.h>

#include "package/startup.h"
#include "runtime/process.h"
#include "runtime/wide_win32.h"
#include "runtime/window_win32.h"
#include "wizard/wizard.h"

using namespace control_names;

namespace {

constexpr wchar_t kClassName[] = L"QevWizardWindow";
// Escape in the window arrives as IDCANCEL, so Cancel carries that id; no button is IDOK.
constexpr int kCancelId = IDCANCEL, kBackId = 11, kNextId = 12, kLicenceCheckId = 13,
              kTreeId = 14, kShowDetailsId = 15, kBrowseId = 16, kFirstNamedId = 100;
constexpr UINT_PTR kDirectTimerId = 1;   // `时钟1`
constexpr UINT_PTR kTaskbarTimerId = 2;
constexpr UINT kTaskbarTimerMs = 80;
constexpr UINT kTreeCheckChanged = WM_APP + 1;
constexpr int kFinishBoxLeft = 176;

// The taskbar list object and its interface, named by their identifiers.
const CLSID kTaskbarListClass = {0x56FDF344, 0xFD6D, 0x11d0,
                                 {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
const IID kTaskbarList3Interface = {0xEA1AFB91, 0x9E28, 0x4B86,
                                    {0x90, 0xE9, 0x9E, 0x9F, 0x8A, 0x5E, 0xFA, 0xF9}};

// Default texts of the layout; the product texts replace the placeholders later.
constexpr const char* kLayoutCaption = "墨桐软件版本-安装向导";


}  // namespace

MainWindow::~MainWindow() {
  if (taskbar_) {
    taskbar_->Release();
    taskbar_ = nullptr;
  }
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

HWND MainWindow::Add(const std::string& name, int page, int kind, const std::string& text, int x,
                     int y, int width, int height, int id) {
  if (id == 0) id = kFirstNamedId + static_cast<int>(controls_.size());
  HWND control =
      CreateControl(window_, static_cast<ControlKind>(kind), text, x, y, width, height, id);
  if (!control) return nullptr;
  if (!name.empty()) controls_[name] = control;
  page_controls_.push_back({control, page, true});
  return control;
}

bool MainWindow::Create(const std::string& caption) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (window_) return true;
  if (!RegisterWindowClass(instance, kClassName, DefWindowProcW, IDC_ARROW,
                           LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)))) {
    return false;
  }
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  window_ = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kClassName,
                            ToWide(caption.empty() ? kLayoutCaption : caption).c_str(), style, x,
                            y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (!window_) return false;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::WindowProc));

  RECT client;
  GetClientRect(window_, &client);
  const int w = client.right, h = client.bottom;
  const int button_top = h - 38, rule_top = h - 48;
  using K = ControlKind;
  auto kind = [](K k) { return static_cast<int>(k); };

  // The tab control holds the page selection; the pages themselves are drawn by their controls.
  HWND tab = Add(kTab, -1, kind(K::kTabControl), "", 0, 0, w, rule_top);
  SetControlText(tab, kTabWindowText);
  static const char* const page_names[kPageCount] = {"欢迎", "协议", "组件", "目录", "安装", "完成"};
  for (int i = 0; i < kPageCount; ++i) {
    std::wstring text = ToWide(page_names[i]);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  page_controls_.back().wanted = false;
  ShowControl(tab, false);

  // Shared by every page: the rule above the buttons and the buttons.
  Add("公司_标签", -1, kind(K::kLabel), "墨桐公司版权所有 ————————————————", 10, rule_top - 2,
      w - 20, 18);
  Add(kBack, -1, kind(K::kButton), kBackCaption, w - 262, button_top, 80, 28, kBackId);
  Add(kNext, -1, kind(K::kDefaultButton), kNextCaption, w - 178, button_top, 80, 28, kNextId);
  Add(kCancel, -1, kind(K::kButton), kCancelCaption, w - 90, button_top, 80, 28, kCancelId);

  // Welcome and finish: picture panel on the left, heading and body beside it.
  const int side = 164, text_left = side + 12, text_width = w - side - 24;
  Add(kWelcomePanel, kPageWelcome, kind(K::kPanel), "", 0, 0, side, rule_top - 6);
  Add("编辑框_欢迎0", kPageWelcome, kind(K::kLabel), "欢迎使用 墨桐软件 版本-安装向导", text_left,
      14, text_width, 40);
  Add("编辑框_欢迎1", kPageWelcome, kind(K::kLabel),
      "这个向导将指引你完成“墨桐软件版本”的安装进程。\r\n\r\n在开始安装之前，建议先关闭其他所有"
      "应用程序。这将允许“安装程序”更新指定的系统文件，而不需要重新启动你的计算机。\r\n\r\n"
      "单击 [下一步(N)] 继续。",
      text_left, 60, text_width, 200);
  Add("完成_外形框", kPageFinish, kind(K::kPanel), "", 0, 0, side, rule_top - 6);
  Add("编辑框_完成0", kPageFinish, kind(K::kLabel), "已完成 墨桐软件 版本-安装程序", text_left, 14,
      text_width, 40);
  Add("编辑框_完成1", kPageFinish, kind(K::kLabel),
      "“墨桐软件”已安装在您的系统。\r\n单击 [完成] 关闭此向导。", text_left, 60, text_width, 60);
  Add(kFinishCheck, kPageFinish, kind(K::kCheckBox), "立即运行 墨桐软件", kFinishBoxLeft, 132,
      text_width, 22);
  // The layout's own box is the model of the option boxes; the options bring their own.
  page_controls_.back().wanted = false;

  // The header of the other pages: heading and subtitle.
  struct Header {
    int page;
    const char* word;
    const char* heading;
    const char* subtitle;
  };
  static const Header headers[] = {
      {kPageLicence, "协议", "许可证协议", "在安装“墨桐软件版本”之前，请阅读授权协议"},
      {kPageComponents, "组件", "选择组件", "选择你想要安装“墨桐软件版本”的那些功能。"},
      {kPageDirectory, "目录", "选择安装位置", "选择你想要安装“墨桐软件版本”的那些功能。"},
      {kPageInstalling, "安装", "正在安装", "“墨桐软件版本”正在安装，请稍后…"},
  };
  for (const Header& header : headers) {
    const std::string stem = std::string("编辑框_") + header.word;
    Add(stem + "0", header.page, kind(K::kLabel), header.heading, 14, 8, w - 28, 18);
    Add(stem + "1", header.page, kind(K::kLabel), header.subtitle, 26, 28, w - 40, 18);
  }
  const int body = 56, body_width = w - 28;

  // Licence.
  Add("协议_上标签", kPageLicence, kind(K::kLabel), "按 [PgDn] 阅读“授权协议”的其余部分。", 14,
      body, body_width, 18);
  Add(kLicenceText, kPageLicence, kind(K::kReadOnlyText), "", 14, body + 20, body_width, 120);
  Add(kLicenceCheck, kPageLicence, kind(K::kCheckBox), "同意本协议的条款", 14, body + 146,
      body_width, 22, kLicenceCheckId);
  Add("协议_下标签", kPageLicence, kind(K::kLabel),
      "如果你接受协议中的条款，单击 [我接受(I)] 继续安装。如果你选定 [取消(C)] ，安装程序将会关"
      "闭。必须接受协议才能安装本程序。",
      14, body + 170, body_width, 40);

  // Components.
  Add("编辑框_组件2", kPageComponents, kind(K::kLabel),
      "勾选你想要安装的组件，并解除勾选你不希望安装的组件。 单击 [下一步(N)] 继续。", 14, body,
      body_width, 34);
  Add("编辑框_组件3", kPageComponents, kind(K::kLabel), "选择安装的组件", 14, body + 38, 220, 18);
  Add(kTree, kPageComponents, kind(K::kTreeView), "", 14, body + 58, 220, 150, kTreeId);
  Add("组件_提示框", kPageComponents, kind(K::kGroupBox), "提示", 246, body + 52, w - 260, 156);
  Add(kDescription, kPageComponents, kind(K::kLabel), "请选择相应选项后即可生成对应信息", 256,
      body + 74, w - 280, 126);

  // Directory.
  Add("编辑框_目录2", kPageDirectory, kind(K::kLabel),
      "安装向导将安装 “墨桐软件版本” 在下列文件夹。要安装到不同文件夹，单击 [浏览] 并选择其他"
      "的文件夹。单击 [安装] 开始安装进程。",
      14, body, body_width, 52);
  Add("目录_外框", kPageDirectory, kind(K::kGroupBox), "目标文件夹", 14, body + 60, body_width, 62);
  Add(kPathBox, kPageDirectory, kind(K::kEdit), "", 26, body + 84, body_width - 122, 24);
  Add(kBrowse, kPageDirectory, kind(K::kButton), "浏览(&B)...", w - 114, body + 82, 88, 28,
      kBrowseId);
  Add("标签_所需空间", kPageDirectory, kind(K::kLabel), "所需空间: XXMB", 14, body + 136, 240, 18);
  Add("标签_可用空间", kPageDirectory, kind(K::kLabel), "可用空间: XXGB", 14, body + 158, 240, 18);

  // Installing.
  Add(kStatusLabel, kPageInstalling, kind(K::kLabel), "Waiting……", 14, body, body_width, 18);
  Add(kProgress, kPageInstalling, kind(K::kProgressBar), "", 14, body + 22, body_width, 20);
  Add(kShowDetails, kPageInstalling, kind(K::kButton), "显示细节(&D)", 14, body + 52, 100, 28,
      kShowDetailsId);
  page_controls_.back().wanted = false;
  Add(kLogList, kPageInstalling, kind(K::kListBox), "", 14, body + 52, body_width,
      rule_top - body - 60);

  SelectPage(kPageWelcome);
  return true;
}

HWND MainWindow::Control(const std::string& name) const {
  const auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : found->second;
}

std::string MainWindow::Caption() const { return ControlText(window_); }
void MainWindow::SetCaption(const std::string& caption) { SetControlText(window_, caption); }

void MainWindow::SetVisible(bool visible) {
  ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
  if (visible) {
    UpdateWindow(window_);
    SetForegroundWindow(window_);
  }
}

int MainWindow::CurrentPage() const {
  return static_cast<int>(SendMessageW(Control(kTab), TCM_GETCURSEL, 0, 0));
}

void MainWindow::SelectPage(int page) {
  if (page < 0 || page >= kPageCount) return;
  SendMessageW(Control(kTab), TCM_SETCURSEL, page, 0);
  // The welcome page's own panel comes back whenever that page is current.
  if (page == kPageWelcome) {
    for (PageControl& c : page_controls_) {
      if (c.handle == Control(kWelcomePanel)) c.wanted = true;
    }
  }
  ApplyPageVisibility();
}

void MainWindow::ApplyPageVisibility() {
  const int current = CurrentPage();
  for (const PageControl& c : page_controls_) {
    if (c.handle == Control(kTab)) continue;
    ShowControl(c.handle, c.wanted && (c.page < 0 || c.page == current));
  }
}

void MainWindow::SetWanted(const std::string& name, bool wanted) {
  HWND handle = Control(name);
  for (PageControl& c : page_controls_) {
    if (c.handle != handle) continue;
    c.wanted = wanted;
    ShowControl(c.handle, wanted && (c.page < 0 || c.page == CurrentPage()));
  }
}

bool MainWindow::IsWanted(const std::string& name) const {
  HWND handle = Control(name);
  for (const PageControl& c : page_controls_) {
    if (c.handle == handle) return c.wanted;
  }
  return false;
}

void MainWindow::SetButtons(bool back_visible, bool back_enabled, const std::string& next_caption,
                            bool next_enabled, bool next_default) {
  SetWanted(kBack, back_visible);
  EnableWindow(Control(kBack), back_enabled);
  SetControlText(Control(kBack), kBackCaption);
  HWND next = Control(kNext);
  SetControlText(next, next_caption);
  EnableWindow(next, next_enabled);
  SendMessageW(next, BM_SETSTYLE, next_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

bool MainWindow::LicenceTicked() const {
  return SendMessageW(Control(kLicenceCheck), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetLicenceText(const std::string& text) {
  SetControlText(Control(kLicenceText), text);
}

void MainWindow::ShowComponentTree(const ComponentTree& tree) {
  HWND view = Control(kTree);
  SendMessageW(view, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  tree_items_.clear();
  std::vector<HTREEITEM> parents;  // the latest item at each depth
  for (size_t i = 0; i < tree.Size(); ++i) {
    const ComponentTree::Item* item = tree.At(static_cast<int>(i));
    const size_t depth = static_cast<size_t>(item->depth);
    std::wstring text = ToWide(item->text);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = depth > 0 && depth <= parents.size() ? parents[depth - 1] : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.lParam = static_cast<LPARAM>(i);
    HTREEITEM added = reinterpret_cast<HTREEITEM>(
        SendMessageW(view, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    tree_items_.push_back(added);
    parents.resize(depth + 1);
    parents[depth] = added;
  }
  RefreshComponentTicks(tree);
  for (size_t i = 0; i < tree.Size() && i < tree_items_.size(); ++i) {
    if (tree.At(static_cast<int>(i))->expanded) {
      SendMessageW(view, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(tree_items_[i]));
    }
  }
}

void MainWindow::RefreshComponentTicks(const ComponentTree& tree) {
  HWND view = Control(kTree);
  for (size_t i = 0; i < tree.Size() && i < tree_items_.size(); ++i) {
    TVITEMW item = {};
    item.mask = TVIF_STATE;
    item.hItem = tree_items_[i];
    item.stateMask = TVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(tree.At(static_cast<int>(i))->checked ? 2 : 1);
    SendMessageW(view, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
}

int MainWindow::TreePosition(HTREEITEM item) const {
  for (size_t i = 0; i < tree_items_.size(); ++i) {
    if (tree_items_[i] == item) return static_cast<int>(i);
  }
  return -1;
}

void MainWindow::OnTreeClick(bool from_keyboard) {
  HWND view = Control(kTree);
  HTREEITEM item = nullptr;
  if (from_keyboard) {
    item = reinterpret_cast<HTREEITEM>(SendMessageW(view, TVM_GETNEXTITEM, TVGN_CARET, 0));
  } else {
    TVHITTESTINFO hit = {};
    const DWORD at = GetMessagePos();
    hit.pt = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    ScreenToClient(view, &hit.pt);
    item = reinterpret_cast<HTREEITEM>(SendMessageW(view, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!(hit.flags & TVHT_ONITEMSTATEICON)) item = nullptr;
  }
  // The control flips the tick after this notification; the new state is read once it has.
  if (item) PostMessageW(window_, kTreeCheckChanged, 0, reinterpret_cast<LPARAM>(item));
}

void MainWindow::ShowFinishOptions(const std::vector<FinishOption>& options,
                                   const std::vector<int>& tops) {
  for (HWND box : finish_boxes_) {
    for (auto it = page_controls_.begin(); it != page_controls_.end(); ++it) {
      if (it->handle == box) {
        page_controls_.erase(it);
        break;
      }
    }
    for (auto it = controls_.begin(); it != controls_.end(); ++it) {
      if (it->second == box) {
        controls_.erase(it);
        break;
      }
    }
    DestroyWindow(box);
  }
  finish_boxes_.clear();
  RECT client;
  GetClientRect(window_, &client);
  for (size_t k = 0; k < options.size(); ++k) {
    const int top = k < tops.size() ? tops[k] : 132;
    const std::string name = kFinishOptionStem + std::to_string(k + 1);
    HWND box = Add(name, kPageFinish, static_cast<int>(ControlKind::kCheckBox), options[k].title,
                   kFinishBoxLeft, top, client.right - kFinishBoxLeft - 12, 22);
    if (!box) continue;
    SendMessageW(box, BM_SETCHECK, options[k].ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    finish_boxes_.push_back(box);
    SetWanted(name, options[k].visible);
  }
}

std::vector<bool> MainWindow::FinishTicks() const {
  std::vector<bool> ticks;
  for (HWND box : finish_boxes_) ticks.push_back(SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
  return ticks;
}

void MainWindow::StartDirectTimer() { SetTimer(window_, kDirectTimerId, 1, nullptr); }

// ---- InstallObserver ----

void MainWindow::LetMessagesRun() { ::LetMessagesRun(); }

std::string MainWindow::PathBoxText() { return ControlText(Control(kPathBox)); }

bool MainWindow::Confirm(const std::string& question) {
  return ShowMessageBox(window_, question, Caption(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void MainWindow::ShowError(const std::string& text) {
  ShowMessageBox(window_, text, Caption(), MB_OK | MB_ICONERROR);
}

bool MainWindow::AskPassword(const std::string& prompt, std::string& entered) {
  return InputBox(window_, Caption(), prompt, true, entered);
}

void MainWindow::SetLogDisplay(int mode) {
  if (mode == 1 || mode == 2) SetWanted(kLogList, false);
  if (mode == 1) SetWanted(kShowDetails, true);
}

void MainWindow::ShowInstallingPicture(const ConfigImage&) { SetWanted(kLogList, false); }

void MainWindow::SelectInstallingPage() { SelectPage(kPageInstalling); }

void MainWindow::ShowLogLine(const std::string& line, bool add_to_list) {
  SetControlText(Control(kStatusLabel), line);
  if (!add_to_list) return;
  HWND list = Control(kLogList);
  const LRESULT index =
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(line).c_str()));
  if (index >= 0) {
    // Selecting the entry scrolls it into view.
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void MainWindow::SetProgress(int percent) {
  progress_ = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  SendMessageW(Control(kProgress), PBM_SETPOS, static_cast<WPARAM>(progress_), 0);
}

void MainWindow::StartTaskbarProgress() {
  if (taskbar_) return;
  void* made = nullptr;
  if (FAILED(CoCreateInstance(kTaskbarListClass, nullptr, CLSCTX_INPROC_SERVER,
                              kTaskbarList3Interface, &made)) ||
      !made) {
    return;
  }
  taskbar_ = static_cast<ITaskbarList3*>(made);
  taskbar_->HrInit();
  SetTimer(window_, kTaskbarTimerId, kTaskbarTimerMs, nullptr);
}

void MainWindow::StopTaskbarProgress() {
  if (!taskbar_) return;
  KillTimer(window_, kTaskbarTimerId);
  taskbar_->SetProgressValue(window_, 100, 100);
  taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
  taskbar_->Release();
  taskbar_ = nullptr;
}

// ---- Events ----

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  return self->Handle(message, w, l);
}

LRESULT MainWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  auto call = [](const std::function<void()>& f) {
    if (f) f();
  };
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED) {
        switch (LOWORD(w)) {
          case kNextId: call(handlers_.next); return 0;
          case kBackId: call(handlers_.back); return 0;
          case kCancelId: call(handlers_.cancel); return 0;
          case kLicenceCheckId: call(handlers_.licence_check); return 0;
          case kShowDetailsId:
            SetWanted(kShowDetails, false);
            SetWanted(kLogList, true);
            return 0;
          default: break;
        }
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      if (header->idFrom == static_cast<UINT_PTR>(kTreeId)) {
        if (header->code == NM_CLICK) OnTreeClick(false);
        if (header->code == TVN_KEYDOWN &&
            reinterpret_cast<const NMTVKEYDOWN*>(l)->wVKey == VK_SPACE) {
          OnTreeClick(true);
        }
      }
      break;
    }
    case kTreeCheckChanged: {
      HTREEITEM item = reinterpret_cast<HTREEITEM>(l);
      const int position = TreePosition(item);
      if (position < 0) return 0;
      TVITEMW state = {};
      state.mask = TVIF_STATE;
      state.hItem = item;
      state.stateMask = TVIS_STATEIMAGEMASK;
      SendMessageW(Control(kTree), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&state));
      const bool checked = ((state.state & TVIS_STATEIMAGEMASK) >> 12) == 2;
      if (handlers_.component_check) handlers_.component_check(position, checked);
      return 0;
    }
    case WM_TIMER:
      if (w == kDirectTimerId) {
        KillTimer(window_, kDirectTimerId);
        call(handlers_.direct_tick);
        return 0;
      }
      if (w == kTaskbarTimerId) {
        if (taskbar_) taskbar_->SetProgressValue(window_, static_cast<ULONGLONG>(progress_), 100);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      // Static texts take the window's face colour; the welcome and finish panels are white.
      HWND control = reinterpret_cast<HWND>(l);
      if (control == Control(kWelcomePanel) || control == Control("完成_外形框")) {
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      break;
    }
    case WM_CLOSE:
      if (!handlers_.close || handlers_.close()) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}
