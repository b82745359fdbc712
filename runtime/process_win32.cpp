// Process services on Windows.
#include <windows.h>

#include "runtime/process.h"

void EndProcess(unsigned code) {
  TerminateProcess(GetCurrentProcess(), code);
  ExitProcess(code);  // not reached; TerminateProcess on the own process does not return
}

void LetMessagesRun() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the main loop to see.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }
