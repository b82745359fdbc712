// The progress an install or uninstall shows on its window's taskbar button: the shell's taskbar
// list object, given the stored percentage from a window timer every 80 ms.
#pragma once

#include <windows.h>

struct ITaskbarList3;

class TaskbarProgress {
 public:
  TaskbarProgress() = default;
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  // Starts showing progress on `window`'s button, refreshed by the window timer `timer_id` (which
  // the window hands to OnTimer). Nothing starts when the shell has no taskbar list object; a
  // progress already running is kept.
  void Start(HWND window, UINT_PTR timer_id);
  // For the window's WM_TIMER: true when `timer_id` is this progress's timer; the percentage
  // (0..100) is then shown.
  bool OnTimer(UINT_PTR timer_id, int percent);
  // Shows 100 of 100, then no progress; the timer is killed.
  void Stop();
  bool running() const { return list_ != nullptr; }

 private:
  HWND window_ = nullptr;
  UINT_PTR timer_id_ = 0;
  ITaskbarList3* list_ = nullptr;
};
