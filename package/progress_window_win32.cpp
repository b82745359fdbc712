// The unpacking window on Windows: a small captionless popup in the middle of the screen with the
// program's icon, the status label `标签2`, the hidden percentage label `标签1` and the timer
// `时钟1_upacking`, which keeps the window painted while the work holds the thread.
#include <windows.h>

#include "package/progress_window.h"
#include "runtime/window_win32.h"
#include "runtime/wide_win32.h"

namespace {

constexpr wchar_t kClassName[] = L"QevUnpackingWindow";
constexpr DWORD kStyle = 0x940008C4;   // popup, visible, clip-siblings, modal dialog frame
constexpr DWORD kExStyle = 0x00010101;
constexpr int kWidth = 257, kHeight = 70;
constexpr int kPercentLabelId = 1, kStatusLabelId = 2, kPictureId = 3;
constexpr UINT_PTR kTimerId = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_TIMER && w == kTimerId) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}


class Win32ProgressView : public ProgressView {
 public:
  Win32ProgressView(HWND window, HWND status, HWND percent)
      : window_(window), status_(status), percent_(percent) {}
  ~Win32ProgressView() override {
    KillTimer(window_, kTimerId);
    DestroyWindow(window_);
  }
  void Show(const ProgressWindowTexts& texts) override {
    SetWindowTextW(window_, ToWide(texts.title).c_str());
    SetWindowTextW(status_, ToWide(texts.status).c_str());
    SetWindowTextW(percent_, ToWide(texts.percent).c_str());
    SetTimer(window_, kTimerId, texts.timer_ms, nullptr);
    ShowWindow(window_, texts.visible ? SW_SHOWNA : SW_HIDE);
    UpdateWindow(window_);
  }

 private:
  HWND window_, status_, percent_;
};

}  // namespace

std::unique_ptr<ProgressView> OpenProgressWindow() {
  InitWindowToolkit();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterWindowClass(instance, kClassName, WindowProc, IDC_WAIT)) return nullptr;
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 129;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2 - 35;
  HWND window = CreateWindowExW(kExStyle, kClassName, L"", kStyle, x, y, kWidth, kHeight, nullptr,
                                nullptr, instance, nullptr);
  if (!window) return nullptr;
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  auto child = [&](const wchar_t* cls, DWORD style, int id, int left, int top, int w, int h) {
    HWND c = CreateWindowExW(0, cls, L"", WS_CHILD | style, left, top, w, h, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (c) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
  };
  HWND picture = child(L"STATIC", WS_VISIBLE | SS_ICON, kPictureId, 10, 14, 32, 32);
  HWND status = child(L"STATIC", WS_VISIBLE | SS_LEFT, kStatusLabelId, 52, 8, 195, 50);
  HWND percent = child(L"STATIC", SS_LEFT, kPercentLabelId, 0, 0, 0, 0);
  // The picture, and the window's own icons (Alt+Tab, the taskbar), are the program's icon.
  if (picture) {
    SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(ProgramIcon(false)), 0);
  }
  SetProgramIcon(window);
  return std::make_unique<Win32ProgressView>(window, status, percent);
}
