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
  // One try every two seconds for about half a minute (a line the shell still takes whole). The shell's "if" takes the rest of the line as its
  // command, so every later try runs only while the folder is still there; no loops or blocks,
  // which not every command shell parses alike.
  const std::wstring w = L"\"" + ToWide(folder) + L"\"";
  const std::wstring try_once =
      L"rd /s /q " + w + L" >nul 2>&1 & rd \"" + ToWide(parent) + L"\" >nul 2>&1";
  const std::wstring wait = L"ping -n 3 127.0.0.1 >nul & ";
  std::wstring line = L"\"" + shell + L"\" /d /q /c " + wait + try_once;
  for (int i = 0; i < 12; ++i) line += L" & if exist " + w + L" " + wait + try_once;
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
