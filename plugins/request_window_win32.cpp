// The request window on Windows.
#include <windows.h>

#include "plugins/request_window.h"
#include "runtime/wide_win32.h"

uintptr_t CreateRequestWindow(uintptr_t parent, std::string_view prefix, uintptr_t entry) {
  const std::wstring title = ToWide(RequestWindowTitle(prefix, entry));
  HWND window = CreateWindowExW(WS_EX_TRANSPARENT, L"Static", title.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, -999, -999, 0, 0,
                                reinterpret_cast<HWND>(parent), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  return reinterpret_cast<uintptr_t>(window);
}
