// The effects of the data source step on Windows: the unpacking window, the message box of a
// missing volume, the end of the process and the hidden command that joins volumes.
#include <windows.h>

#include "package/data_source.h"
#include "package/exit_codes.h"
#include "runtime/process.h"
#include "runtime/text.h"
#include "runtime/wide_win32.h"

namespace {

// The interpreter is named by its full path so that a "cmd.exe" lying beside a downloaded setup
// program is never the one started.
std::wstring SystemCommandInterpreter() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  return std::wstring(folder, n) + L"\\cmd.exe";
}

bool RunHidden(const std::string& command, const std::string& folder) {
  std::wstring line = ToWide(command);
  const std::wstring interpreter =
      StartsWith(command, "cmd ") ? SystemCommandInterpreter() : std::wstring();
  const std::wstring directory = folder.empty() ? std::wstring() : ToWide(folder + "\\");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(interpreter.empty() ? nullptr : interpreter.c_str(), &line[0], nullptr,
                      nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  // The window keeps painting while the copy runs.
  for (;;) {
    const DWORD woke =
        MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) break;
    LetMessagesRun();
  }
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

DataSourceHooks DefaultDataSourceHooks() {
  DataSourceHooks h;
  h.open_window = [] { return OpenProgressWindow(); };
  h.show_message = [](const std::string& text, const std::string& title) {
    MessageBoxW(nullptr, ToWide(text).c_str(), ToWide(title).c_str(), MB_OK | MB_SETFOREGROUND);
  };
  h.run_hidden = RunHidden;
  return h;
}
