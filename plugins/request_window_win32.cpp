// The request window on Windows.
#include <windows.h>

#include <commctrl.h>

#include "plugins/qev_plugin.h"
#include "plugins/request_window.h"
#include "runtime/wide_win32.h"
#include "runtime/window_win32.h"

uintptr_t CreateRequestWindow(uintptr_t parent, std::string_view prefix, uintptr_t entry) {
  const std::wstring title = ToWide(RequestWindowTitle(prefix, entry));
  HWND window = CreateWindowExW(WS_EX_TRANSPARENT, L"Static", title.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, -999, -999, 0, 0,
                                reinterpret_cast<HWND>(parent), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  return reinterpret_cast<uintptr_t>(window);
}

uintptr_t CreateHiddenRequestHost(std::string_view caption) {
  return reinterpret_cast<uintptr_t>(CreateWindowExW(0, L"Static", ToWide(std::string(caption)).c_str(),
                                                     WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                                     GetModuleHandleW(nullptr), nullptr));
}

namespace {

LRESULT CALLBACK WizardRequestProc(HWND window, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                   DWORD_PTR handler) {
  if (message == QEV_WIZARD_REQUEST) {
    return static_cast<LRESULT>(reinterpret_cast<WizardRequestHandler>(handler)(
        static_cast<PluginValue>(w), static_cast<PluginValue>(l)));
  }
  if (message == WM_NCDESTROY) RemoveControlSubclass(window, WizardRequestProc, 1);
  return DefaultSubclassProcedure(window, message, w, l);
}

}  // namespace

bool RouteWizardRequests(uintptr_t label, WizardRequestHandler handler) {
  return label && SubclassControl(reinterpret_cast<HWND>(label), WizardRequestProc, 1,
                                  reinterpret_cast<DWORD_PTR>(handler));
}
