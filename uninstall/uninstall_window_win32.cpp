// The uninstall window on Windows: the fixed layout, the option check boxes, the modes, the
// plug-in request window and its handler, and the observer through which the run drives it.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "package/exit_codes.h"
#include "package/startup.h"
#include "plugins/plugin_call.h"
#include "plugins/plugin_loader.h"
#include "plugins/request_window.h"
#include "runtime/files.h"
#include "runtime/items.h"
#include "runtime/picture_win32.h"
#include "runtime/taskbar_progress_win32.h"
#include "runtime/window_win32.h"
#include "runtime/wide_win32.h"
#include "uninstall/uninstall_requests.h"
#include "uninstall/uninstall_window.h"

namespace {

HWND Box(const UninstallOptionControl& option) { return static_cast<HWND>(option.box); }

constexpr wchar_t kWindowClass[] = L"QevUninstallWindow";
constexpr UINT_PTR kStartTimerId = 1;      // 时钟1: starts the run in the direct modes
constexpr UINT_PTR kTaskbarTimerId = 2;
constexpr int kUninstallButtonId = 1001;   // 卸载按钮
constexpr int kCancelButtonId = 1002;      // 取消按钮
constexpr int kOptionBoxHeight = 23;       // a visible option box takes this much room


class UninstallWindow : public UninstallObserver, public UninstallRequestTarget {
 public:
  UninstallWindow(UninstallRequest& request, const UninstallerFiles& files,
                  const UninstallRecord& record, int mode)
      : request_(request), files_(files), record_(record), mode_(mode) {}

  bool Create(bool visible) {
    InitWindowToolkit();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, kWindowClass, WindowProc, IDC_ARROW)) return false;
    const std::string name = record_.product_name + record_.version;
    // The layout gives the outer size; the controls stand in the client area.
    window_ = CreateWindowExW(0, kWindowClass, ToWide(name + " 卸载向导").c_str(),
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                              CW_USEDEFAULT, CW_USEDEFAULT, 507, 360, nullptr, nullptr, instance,
                              nullptr);
    if (!window_) return false;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const std::string icon_file = working_folder_ + "\\uninst.ico";
    if (FileExists(icon_file)) {
      icon_ = static_cast<HICON>(LoadImageW(nullptr, ToWide(icon_file).c_str(), IMAGE_ICON, 0, 0,
                                            LR_LOADFROMFILE | LR_DEFAULTSIZE));
      if (icon_) {
        SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
      }
    }
    header_ = CreateControl(window_, ControlKind::kPanel, "", 0, 0, 501, 53);
    picture_ = CreatePictureBox(window_, 355, 0, 147, 53, GetSysColor(COLOR_BTNFACE));
    Bytes small;
    if (GetItem(files_.skin, "界面小图片", small) && !IsEmptyItemValue(small)) SetPicture(picture_, small);
    title_ = CreateControl(window_, ControlKind::kLabel, "卸载 “" + name + "”", 15, 7, 241, 21);
    subtitle_ = CreateControl(window_, ControlKind::kLabel, "从你的计算机卸载 “" + name + "”", 28,
                              25, 316, 24);
    welcome_ = CreateControl(window_, ControlKind::kLabel,
                             "这个向导将从你的计算机卸载“" + name + "”。 单击 [卸载] 开始解除安装程序。",
                             34, 56, 430, 32);
    status_ = CreateControl(window_, ControlKind::kLabel, "", 24, 53, 456, 24);
    progress_bar_ = CreateControl(window_, ControlKind::kProgressBar, "", 24, 80, 456, 16);
    dir_caption_ = CreateControl(window_, ControlKind::kLabel, "卸载目录:", 24, 104, 96, 24);
    dir_box_ = CreateControl(window_, ControlKind::kEdit, request_.install_dir, 125, 106, 352, 18);
    SendMessageW(dir_box_, EM_SETREADONLY, TRUE, 0);
    log_list_ = CreateControl(window_, ControlKind::kListBox, "", 24, 105, 456, 160);
    notice_ = CreateControl(window_, ControlKind::kEdit, NoticeLine(files_.skin), 12, 272, 476, 19);
    SendMessageW(notice_, EM_SETREADONLY, TRUE, 0);
    uninstall_button_ = CreateControl(window_, ControlKind::kDefaultButton, "卸载", 320, 300, 80, 22,
                                      kUninstallButtonId);
    CreateControl(window_, ControlKind::kButton, "取消", 407, 300, 80, 22, kCancelButtonId);
    for (HWND hidden : {status_, progress_bar_, log_list_}) ShowControl(hidden, false);
    MakeOptions();
    std::vector<bool> made;
    for (const UninstallOptionControl& option : options_) made.push_back(option.box != nullptr);
    info_.Fill(reinterpret_cast<uintptr_t>(window_), record_, request_.install_dir,
               UninstallNotice(files_.skin), made);
    request_window_ = CreateRequestWindow(reinterpret_cast<uintptr_t>(window_),
                                          kUninstallEntryPrefix, UninstallRequestEntry());
    if (mode_ & (kUninstallDirect | kUninstallBackground)) SetTimer(window_, kStartTimerId, 1, nullptr);
    ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
    SetFocus(uninstall_button_);
    return true;
  }

  unsigned RunLoop() {
    MSG msg;
    while (!finished_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (IsDialogMessageW(window_, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    StopTaskbarProgress();
    if (window_) DestroyWindow(window_);
    if (icon_) DestroyIcon(icon_);
    return exit_code_;
  }

  // ---- Requests of the plug-ins ----
  uintptr_t InfoAddress() override { return info_.Address(); }
  void KeepPaths(const std::string& text) override { request_.remove_dump = SplitText(text, ","); }
  void ShowWindowFor(bool visible) override { ShowWindow(window_, visible ? SW_SHOW : SW_HIDE); }
  void SetCheckStates(const std::string& text) override { request_.check_state_text = text; }
  void RunWithLog(uintptr_t callback) override { Run(callback); }

  // ---- The run's observer ----
  void LetMessagesRun() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (IsDialogMessageW(window_, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  void SetOptionTicked(size_t index, bool ticked) override {
    if (index < options_.size() && options_[index].box) {
      SendMessageW(Box(options_[index]), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  void ShowProgressView(const std::string& product_name) override {
    EnableWindow(uninstall_button_, FALSE);
    ShowControl(progress_bar_, true);
    ShowControl(dir_caption_, false);
    ShowControl(welcome_, false);
    SetControlText(status_, "");
    ShowControl(status_, true);
    ShowControl(dir_box_, false);
    for (const UninstallOptionControl& option : options_) {
      if (option.box) ShowControl(Box(option), false);
    }
    ShowControl(log_list_, true);
    SetControlText(title_, "正在卸载…");
    SetControlText(subtitle_, product_name + "正在卸载，请稍候…");
  }
  void AddListLine(const std::string& line) override { AddLogListEntry(log_list_, line); }
  void ShowLogLine(const std::string& line) override {
    SetControlLogLine(status_, line);
    const LRESULT index = AddLogListEntry(log_list_, line);
    if (index >= 0) SendMessageW(log_list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  void SetProgress(int percent) override {
    progress_ = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    SendMessageW(progress_bar_, PBM_SETPOS, static_cast<WPARAM>(progress_), 0);
  }
  void StartTaskbarProgress() override { taskbar_.Start(window_, kTaskbarTimerId); }
  void StopTaskbarProgress() override { taskbar_.Stop(); }
  void ShowDone(const std::string& product_name) override {
    const LRESULT count = SendMessageW(log_list_, LB_GETCOUNT, 0, 0);
    if (count > 0) SendMessageW(log_list_, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
    SetProgress(100);
    EnableWindow(uninstall_button_, TRUE);
    SetControlText(title_, "已完成卸载！");
    SetControlText(subtitle_, product_name + "已完成卸载，请点完成按钮~");
    SetControlText(uninstall_button_, "完成");
    SetFocus(uninstall_button_);
  }

 private:
  static std::string NoticeLine(const Bytes& skin) {
    std::string line = UninstallNotice(skin);
    for (int i = 0; i < 40; ++i) line += "—";
    return line;
  }

  void MakeOptions() {
    options_.resize(record_.options.size());
    if (!record_.options_placed) return;
    int top = record_.options_top;
    for (size_t i = 0; i < record_.options.size(); ++i) {
      const UninstallOptionRecord& o = record_.options[i];
      UninstallOptionControl& c = options_[i];
      c.box = CreateControl(window_, ControlKind::kCheckBox, o.title, record_.options_left, top,
                            256, 24);
      SendMessageW(Box(c), BM_SETCHECK, o.ticked ? BST_CHECKED : BST_UNCHECKED, 0);
      ShowControl(Box(c), o.visible);
      if (o.visible) top += kOptionBoxHeight;
    }
  }

  void Run(uintptr_t callback) {
    // A finished run: the next click finishes.
    if (done_) {
      Finish();
      return;
    }
    request_.ticked.clear();
    for (const UninstallOptionControl& option : options_) {
      request_.ticked.push_back(option.box &&
                                SendMessageW(Box(option), BM_GETCHECK, 0, 0) == BST_CHECKED);
    }
    request_.log_callback = PluginLogCallback(callback);
    const UninstallOutcome outcome = RunUninstall(request_, *this, DefaultUninstallSystem());
    exit_code_ = outcome.exit_code;
    if (!outcome.cancelled) done_ = true;
    if (mode_ >= kUninstallFinishAtEnd) Finish();
  }

  void Finish() { finished_ = true; PostMessageW(window_, WM_NULL, 0, 0); }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<UninstallWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, w, l);
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(w) == kUninstallButtonId) {
          self->Run(0);
          return 0;
        }
        if (LOWORD(w) == kCancelButtonId || LOWORD(w) == IDCANCEL) {
          self->Finish();
          return 0;
        }
        break;
      case WM_TIMER:
        if (w == kStartTimerId) {
          KillTimer(window, kStartTimerId);
          self->Run(0);
          return 0;
        }
        if (self->taskbar_.OnTimer(w, self->progress_)) return 0;
        break;
      case WM_CLOSE:
        self->Finish();
        return 0;
      default:
        break;
    }
    return DefWindowProcW(window, message, w, l);
  }

 public:
  std::string working_folder_;

 private:
  UninstallRequest& request_;
  const UninstallerFiles& files_;
  const UninstallRecord& record_;
  int mode_ = 0;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  HWND header_ = nullptr, picture_ = nullptr, title_ = nullptr, subtitle_ = nullptr, welcome_ = nullptr;
  HWND status_ = nullptr, progress_bar_ = nullptr, dir_caption_ = nullptr, dir_box_ = nullptr;
  HWND log_list_ = nullptr, notice_ = nullptr, uninstall_button_ = nullptr;
  uintptr_t request_window_ = 0;
  std::vector<UninstallOptionControl> options_;
  UninstallInfoRecord info_;
  TaskbarProgress taskbar_;
  int progress_ = 0;
  bool done_ = false;
  bool finished_ = false;
  unsigned exit_code_ = kExitUninstallCancelled;
};

}  // namespace

unsigned RunUninstallWindow(UninstallRequest& request, const UninstallerFiles& files,
                            const UninstallRecord& record, int mode, bool visible,
                            const std::string& working_folder) {
  // The window and the records plug-ins hold addresses into live until the process ends.
  static std::unique_ptr<UninstallWindow> window;
  window = std::make_unique<UninstallWindow>(request, files, record, mode);
  window->working_folder_ = working_folder;
  if (!window->Create(visible)) return kExitUninstallCancelled;
  SetUninstallRequestTarget(window.get());
  // Loaded once the window and its request entry exist, so a plug-in finds them at load.
  if (!files.data_folder.empty()) LoadPlugins(kRunModeUninstaller, files.data_folder);
  return window->RunLoop();
}
