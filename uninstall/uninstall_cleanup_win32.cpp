// The helper that removes the uninstaller's working folder after the uninstaller (and a launcher
// waiting for it) has ended.
#include <windows.h>

#include "runtime/wide_win32.h"
#include "uninstall/uninstall_window.h"

void RemoveFolderAfterExit(const std::string& folder, const std::string& parent) {
  wchar_t system[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  const std::wstring shell = std::wstring(system, n) + L"\\cmd.exe";
  // One try a second: the folder goes as soon as no program in it runs; its parent only when empty.
  std::wstring line = L"\"" + shell + L"\" /d /q /c for /l %i in (1,1,30) do @(rd /s /q \"" +
                      ToWide(folder) + L"\" >nul 2>&1 & if not exist \"" + ToWide(folder) +
                      L"\" (rd \"" + ToWide(parent) + L"\" >nul 2>&1 & exit) & ping -n 2 127.0.0.1 >nul)";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  // The helper must not stand in the folder it removes.
  if (CreateProcessW(shell.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                     temp, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}
