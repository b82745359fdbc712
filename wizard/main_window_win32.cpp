// The main window of the install wizard: its controls (made from the layout table), page
// switching, texts and pictures, the controls the install run fills, and the taskbar progress.
#include "wizard/main_window.h"

#include <shobjidl.h>

#include "package/startup.h"
#include "runtime/process.h"
#include "runtime/wide_win32.h"
#include "runtime/picture_win32.h"
#include "runtime/window_win32.h"
#include "wizard/page_controls_win32.h"
#include "wizard/wizard.h"

using namespace control_names;

namespace {

constexpr wchar_t kClassName[] = L"QevWizardWindow";
// Escape in the window arrives as IDCANCEL, so Cancel carries that id; no button is IDOK. The
// other ids are the layout's.
constexpr int kCancelId = IDCANCEL, kFirstNamedId = 1000;
constexpr UINT_PTR kDirectTimerId = 1;   // `时钟1`
constexpr UINT_PTR kTaskbarTimerId = 2;
constexpr UINT kTreeCheckChanged = WM_APP + 1;

}  // namespace

MainWindow::~MainWindow() {
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
  if (!RegisterWindowClass(instance, kClassName, DefWindowProcW, IDC_ARROW, ProgramIcon(false))) {
    return false;
  }
  const WizardTexts texts = LayoutTexts();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const int width = ScaleToDpi(kWidth), height = ScaleToDpi(kHeight);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kClassName,
                            ToWide(caption.empty() ? texts.at(kCaptionName) : caption).c_str(),
                            style, x, y, width, height, nullptr, nullptr, instance, nullptr);
  if (!window_) return false;
  SetProgramIcon(window_);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::WindowProc));

  for (const MadeControl& made : MakeWizardControls(window_, texts)) {
    controls_[made.name] = made.handle;
    // A control of no page (the spare header) is a model that stays hidden.
    page_controls_.push_back({made.handle, made.page == kOnNoPage ? kPageCount : made.page,
                              made.shown && made.page != kOnNoPage});
    if (made.on_white) on_white_.insert(made.handle);
    if (made.kind == LayoutKind::kCompanyLine) greyed_.insert(made.handle);
  }

  // The tab control holds the page selection; the pages themselves are drawn by their controls.
  HWND tab = Control(kTab);
  SetControlText(tab, kTabWindowText);
  static const char* const page_names[kPageCount] = {"欢迎", "协议", "组件", "目录", "安装", "完成"};
  for (int i = 0; i < kPageCount; ++i) {
    std::wstring text = ToWide(page_names[i]);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  ShowControl(tab, false);

  // The description follows the pointer over the tree as well as the selection.
  WatchPointer(Control(kTree), [this](POINT at) {
    const int position = TreeItemAt(at);
    if (position >= 0 && handlers_.component_pointed) handlers_.component_pointed(position);
  });
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
  HWND tab = Control(kTab);
  if (page < 0 || page >= SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)) return;
  SendMessageW(tab, TCM_SETCURSEL, page, 0);
  if (page < kPageCount) last_wizard_page_ = page;
  // The welcome page's own panel comes back whenever that page is current.
  if (page == kPageWelcome) {
    for (PageControl& c : page_controls_) {
      if (c.handle == Control(kWelcomePanel)) c.wanted = true;
    }
  }
  // On the finish page the install is done: Finish ends the wizard, there is nothing to cancel.
  EnableWindow(Control(kCancel), page != kPageFinish);
  ApplyPageVisibility();
  if (handlers_.page_shown) handlers_.page_shown(page);
}

std::vector<HWND> MainWindow::PageControls(int page) const {
  std::vector<HWND> found;
  for (const PageControl& c : page_controls_)
    if (c.page == page) found.push_back(c.handle);
  return found;
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
  shown_ticks_.clear();
  for (size_t i = 0; i < tree.Size(); ++i) shown_ticks_.push_back(tree.At(static_cast<int>(i))->checked);
}

int MainWindow::TreePosition(HTREEITEM item) const {
  for (size_t i = 0; i < tree_items_.size(); ++i) {
    if (tree_items_[i] == item) return static_cast<int>(i);
  }
  return -1;
}

void MainWindow::SyncTreeTicks() {
  HWND view = Control(kTree);
  for (size_t i = 0; i < tree_items_.size() && i < shown_ticks_.size(); ++i) {
    const LRESULT state = SendMessageW(view, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(tree_items_[i]),
                                       TVIS_STATEIMAGEMASK);
    const bool checked = ((state & TVIS_STATEIMAGEMASK) >> 12) == 2;
    if (checked == shown_ticks_[i]) continue;
    shown_ticks_[i] = checked;
    // The wizard applies the change to the model and refreshes every tick from it.
    if (handlers_.component_check) handlers_.component_check(static_cast<int>(i), checked);
    return;
  }
}

int MainWindow::TreeItemAt(POINT at) const {
  TVHITTESTINFO hit = {};
  hit.pt = at;
  HTREEITEM item = reinterpret_cast<HTREEITEM>(
      SendMessageW(Control(kTree), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item || !(hit.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT))) return -1;
  return TreePosition(item);
}

void MainWindow::ApplyTexts(const WizardTexts& texts) {
  for (const auto& [name, text] : texts) {
    if (name == kCaptionName) {
      SetCaption(text);
    } else if (HWND control = Control(name)) {
      SetControlText(control, text);
    }
  }
}

void MainWindow::ShowPictures(const InstallConfig& config) {
  // Bytes that do not decode leave the box empty; none at all leave it as it is.
  auto show = [this](const char* name, const ConfigImage& picture) {
    if (!picture.bytes.empty()) SetPicture(Control(name), picture.bytes);
  };
  show("欢迎_图片框", config.picture);
  show("完成_图片框", config.picture);
  for (const char* name : {"协议_图片框", "组件_图片框", "目录_图片框", "安装_小图片框", "备用_图片框"}) {
    show(name, config.small_picture);
  }
  if (!config.small_picture.bytes.empty()) spare_picture_ = config.small_picture.bytes;
}

HWND MainWindow::AddHeaderCopy(const std::string& heading, const std::string& subtitle,
                               bool texts_shown) {
  // The spare header's parts, the panel first so the others stand in front of it.
  static const char* const kParts[] = {"备用_外形框1", "备用_主标题", "备用_备注标题",
                                       "备用_图片框", "备用_分隔线", "备用_编辑框版权"};
  const int page = CurrentPage();
  HWND panel = nullptr;
  std::vector<RECT> covered;
  for (const char* name : kParts) {
    HWND model = Control(name);
    if (!model) continue;
    RECT r;
    GetWindowRect(model, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const std::string part = name;
    HWND copy = nullptr;
    if (part == "备用_图片框") {
      copy = CreatePictureBox(window_, r.left, r.top, width, height, RGB(255, 255, 255));
      if (copy && !spare_picture_.empty()) SetPicture(copy, spare_picture_);
    } else {
      wchar_t window_class[64] = L"";
      GetClassNameW(model, window_class, 64);
      const std::string text = part == "备用_主标题"     ? heading
                               : part == "备用_备注标题" ? subtitle
                                                         : ControlText(model);
      const DWORD style = static_cast<DWORD>(GetWindowLongW(model, GWL_STYLE)) & ~WS_VISIBLE;
      copy = CreateWindowExW(static_cast<DWORD>(GetWindowLongW(model, GWL_EXSTYLE)), window_class,
                             ToWide(text).c_str(), style | WS_CHILD, r.left, r.top, width, height,
                             window_, nullptr, GetModuleHandleW(nullptr), nullptr);
      if (copy) SendMessageW(copy, WM_SETFONT, SendMessageW(model, WM_GETFONT, 0, 0), FALSE);
    }
    if (!copy) continue;
    // Painted in front of the panel: the panel, made first and lowest, keeps off the others.
    SetWindowLongW(copy, GWL_STYLE, GetWindowLongW(copy, GWL_STYLE) | WS_CLIPSIBLINGS);
    covered.push_back(r);
    if (on_white_.count(model)) on_white_.insert(copy);
    if (greyed_.count(model)) greyed_.insert(copy);
    SetWindowPos(copy, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!panel) panel = copy;
    const bool wanted = copy == panel || texts_shown;
    page_controls_.push_back({copy, page, wanted});
    ShowControl(copy, wanted);
  }
  // The page's own header parts under the copy stay hidden: sibling controls overlap without
  // clipping, and whichever paints last would show through.
  const size_t copies = covered.size();
  for (size_t i = 0; i + copies < page_controls_.size(); ++i) {
    PageControl& c = page_controls_[i];
    if (c.page != page) continue;
    RECT r;
    GetWindowRect(c.handle, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    for (const RECT& part : covered) {
      if (r.left >= part.left && r.top >= part.top && r.right <= part.right &&
          r.bottom <= part.bottom) {
        c.wanted = false;
        ShowControl(c.handle, false);
        break;
      }
    }
  }
  return panel;
}

void MainWindow::PlaceTree(int left, int top, int width, int height) {
  MoveWindow(Control(kTree), ScaleToDpi(left), ScaleToDpi(top), ScaleToDpi(width),
             ScaleToDpi(height), TRUE);
}

void MainWindow::ShowSpacePanel(const std::string& required, const std::string& free) {
  SetControlText(Control(kRequiredSpace), required);
  SetControlText(Control(kFreeSpace), free);
  for (const char* name : {kSpacePanel, kRequiredSpace, kFreeSpace}) SetWanted(name, true);
}

void MainWindow::SetDescription(const std::string& text) {
  SetControlText(Control(kDescription), text);
}

std::string MainWindow::Description() const { return ControlText(Control(kDescription)); }

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
    const int left = ScaleToDpi(kFinishOptionLeft);
    HWND box = Add(name, kPageFinish, static_cast<int>(ControlKind::kCheckBox), options[k].title,
                   left, ScaleToDpi(top), client.right - left - ScaleToDpi(12), ScaleToDpi(20));
    if (!box) continue;
    on_white_.insert(box);
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

void MainWindow::SetFinishTicks(const std::vector<bool>& ticks) {
  for (size_t k = 0; k < ticks.size() && k < finish_boxes_.size(); ++k) {
    SendMessageW(finish_boxes_[k], BM_SETCHECK, ticks[k] ? BST_CHECKED : BST_UNCHECKED, 0);
  }
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

void MainWindow::ShowInstallingPicture(const ConfigImage& picture) {
  SetWanted(kLogList, false);
  SetWanted(kShowDetails, false);
  SetPicture(Control(kInstallingPicture), picture.bytes);
  SetWanted(kInstallingPicture, true);
}

void MainWindow::SelectInstallingPage() { SelectPage(kPageInstalling); }

void MainWindow::ShowLogLine(const std::string& line, bool add_to_list) {
  SetControlLogLine(Control(kStatusLabel), line);
  if (add_to_list) AddToLogList(line);
  if (handlers_.log_line) handlers_.log_line(line);
}

void MainWindow::AddToLogList(const std::string& line) {
  HWND list = Control(kLogList);
  const LRESULT index = AddLogListEntry(list, line);
  if (index >= 0) {
    // Selecting the entry scrolls it into view.
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void MainWindow::SetProgress(int percent) {
  const int before = progress_;
  progress_ = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  HWND bar = Control(kProgress);
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(progress_), 0);
  // A large file reports progress without new log lines: the bar is drawn now, and the window
  // keeps answering (moving, repainting) while the file is written.
  UpdateWindow(bar);
  ::LetMessagesRun();
  if (progress_ > before && handlers_.progress) handlers_.progress(progress_);
}

void MainWindow::StartTaskbarProgress() { taskbar_.Start(window_, kTaskbarTimerId); }

void MainWindow::StopTaskbarProgress() { taskbar_.Stop(); }

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
      if (LOWORD(w) == kPathBoxId && HIWORD(w) == EN_CHANGE) {
        call(handlers_.path_changed);
        return 0;
      }
      if (HIWORD(w) == BN_CLICKED) {
        switch (LOWORD(w)) {
          case kNextId: call(handlers_.next); return 0;
          case kBackId: call(handlers_.back); return 0;
          case kCancelId: call(handlers_.cancel); return 0;
          case kLicenceCheckId: call(handlers_.licence_check); return 0;
          case kShowDetailsId:
            SetWanted(kShowDetails, false);
            SetWanted(kInstallingPicture, false);
            SetWanted(kLogList, true);
            return 0;
          case kBrowseId: call(handlers_.browse); return 0;
          default: break;
        }
        for (size_t k = 0; k < finish_boxes_.size(); ++k) {
          if (finish_boxes_[k] != reinterpret_cast<HWND>(l) || !handlers_.finish_tick) continue;
          handlers_.finish_tick(static_cast<int>(k),
                                SendMessageW(finish_boxes_[k], BM_GETCHECK, 0, 0) == BST_CHECKED);
          return 0;
        }
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      if (header->idFrom == static_cast<UINT_PTR>(kTreeId)) {
        // The control flips a tick after these notifications; the ticks are compared once it has.
        if (header->code == NM_CLICK || header->code == NM_DBLCLK ||
            (header->code == TVN_KEYDOWN &&
             reinterpret_cast<const NMTVKEYDOWN*>(l)->wVKey == VK_SPACE)) {
          PostMessageW(window_, kTreeCheckChanged, 0, 0);
        }
        if (header->code == TVN_SELCHANGEDW || header->code == TVN_SELCHANGEDA) {
          const auto* change = reinterpret_cast<const NMTREEVIEWW*>(l);
          const int position = TreePosition(change->itemNew.hItem);
          if (position >= 0 && handlers_.component_selected) handlers_.component_selected(position);
        }
      }
      break;
    }
    case kTreeCheckChanged:
      SyncTreeTicks();
      return 0;
    case WM_MOUSEMOVE:
      call(handlers_.page_pointed);
      break;
    case WM_TIMER:
      if (w == kDirectTimerId) {
        KillTimer(window_, kDirectTimerId);
        call(handlers_.direct_tick);
        return 0;
      }
      if (taskbar_.OnTimer(w, progress_)) return 0;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Texts over the white panels take white; company lines are grey.
      HWND control = reinterpret_cast<HWND>(l);
      HDC dc = reinterpret_cast<HDC>(w);
      if (on_white_.count(control)) {
        SetBkColor(dc, RGB(255, 255, 255));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      if (greyed_.count(control)) {
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_CLOSE:
      if (!handlers_.close || handlers_.close()) DestroyWindow(window_);
      return 0;
    case WM_SIZE:
      if (handlers_.placement && IsWindowVisible(window_)) {
        handlers_.placement(w == SIZE_MINIMIZED ? 1 : w == SIZE_MAXIMIZED ? 2 : 0);
      }
      break;
    case WM_MOVE:
      if (handlers_.placement && IsWindowVisible(window_)) {
        handlers_.placement(IsIconic(window_) ? 1 : IsZoomed(window_) ? 2 : 0);
      }
      break;
    case WM_NCHITTEST: {
      const LRESULT hit = DefWindowProcW(window_, message, w, l);
      return handlers_.drag_anywhere && hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}
