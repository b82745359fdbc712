// The taskbar button's progress through the shell's taskbar list object (ITaskbarList3).
#include "runtime/taskbar_progress_win32.h"

#include <shobjidl.h>

namespace {

constexpr UINT kRefreshMs = 80;

// Named by their identifiers, so no import library has to carry them.
const CLSID kTaskbarListClass = {0x56FDF344, 0xFD6D, 0x11D0,
                                 {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
const IID kTaskbarList3Interface = {0xEA1AFB91, 0x9E28, 0x4B86,
                                    {0x90, 0xE9, 0x9E, 0x9F, 0x8A, 0x5E, 0xEF, 0xAF}};

}  // namespace

TaskbarProgress::~TaskbarProgress() {
  if (list_) list_->Release();
}

void TaskbarProgress::Start(HWND window, UINT_PTR timer_id) {
  if (list_ || !window) return;
  void* made = nullptr;
  if (FAILED(CoCreateInstance(kTaskbarListClass, nullptr, CLSCTX_INPROC_SERVER,
                              kTaskbarList3Interface, &made)) ||
      !made) {
    return;
  }
  list_ = static_cast<ITaskbarList3*>(made);
  list_->HrInit();
  window_ = window;
  timer_id_ = timer_id;
  SetTimer(window_, timer_id_, kRefreshMs, nullptr);
}

bool TaskbarProgress::OnTimer(UINT_PTR timer_id, int percent) {
  if (!list_ || timer_id != timer_id_) return false;
  const int shown = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  list_->SetProgressValue(window_, static_cast<ULONGLONG>(shown), 100);
  return true;
}

void TaskbarProgress::Stop() {
  if (!list_) return;
  KillTimer(window_, timer_id_);
  list_->SetProgressValue(window_, 100, 100);
  list_->SetProgressState(window_, TBPF_NOPROGRESS);
  list_->Release();
  list_ = nullptr;
}
