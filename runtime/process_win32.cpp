// Process services on Windows, and the helper that removes a folder once the process has ended.
#include <windows.h>

#include <vector>

#include "runtime/process.h"
#include "runtime/wide_win32.h"

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

namespace {

using InitializeAttributes = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
using UpdateAttribute = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T,
                                      PVOID, PSIZE_T);
using DeleteAttributes = VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);

// Starts `line` hidden with the given standard handles. Where the system can name the handles a
// child inherits, only those go: a handle this process got from its own starter (a script's
// output pipe) must not be held open by the helper.
bool StartWithHandles(const std::wstring& program, std::wstring line, const std::wstring& folder,
                      HANDLE input, HANDLE output) {
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = input;
  startup.StartupInfo.hStdOutput = output;
  startup.StartupInfo.hStdError = output;
  DWORD flags = CREATE_NO_WINDOW;
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto initialize = reinterpret_cast<InitializeAttributes>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "InitializeProcThreadAttributeList")));
  const auto update = reinterpret_cast<UpdateAttribute>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "UpdateProcThreadAttribute")));
  const auto release = reinterpret_cast<DeleteAttributes>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "DeleteProcThreadAttributeList")));
  HANDLE handles[2] = {input, output};
  std::vector<char> attributes;
  SIZE_T size = 0;
  if (initialize && update && release) {
    initialize(nullptr, 1, 0, &size);
    attributes.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    if (size && initialize(list, 1, 0, &size) &&
        update(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, sizeof handles, nullptr,
               nullptr)) {
      startup.lpAttributeList = list;
      startup.StartupInfo.cb = sizeof startup;
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
  }
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, flags, nullptr,
                                folder.c_str(), &startup.StartupInfo, &process);
  if (!started && startup.lpAttributeList) {
    // A system that takes the list but cannot start with it: every inheritable handle goes.
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    started = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                             nullptr, folder.c_str(), &startup.StartupInfo, &process);
  }
  if (startup.lpAttributeList) release(startup.lpAttributeList);
  if (!started) return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

void RemoveFolderAfterExit(const std::string& folder, const std::string& parent) {
  wchar_t system[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || folder.empty()) return;
  const std::wstring shell = std::wstring(system, n) + L"\\cmd.exe";
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inheritable, 0)) return;
  // The writing end stays in this process alone, open until the process ends.
  SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                           OPEN_EXISTING, 0, nullptr);
  // "set /p" reads a line; nobody writes one, so it returns at the end of the pipe. The shell's
  // "if" takes the rest of the line as its command: every later try runs only while the folder
  // is still there.
  const std::wstring quoted = L"\"" + PathToWide(folder) + L"\"";
  std::wstring try_once = L"rd /s /q " + quoted + L" >nul 2>&1";
  if (!parent.empty()) try_once += L" & rd \"" + PathToWide(parent) + L"\" >nul 2>&1";
  std::wstring line = L"\"" + shell + L"\" /d /q /c set /p qev= & " + try_once;
  for (int i = 0; i < 10; ++i) {
    line += L" & if exist " + quoted + L" ping -n 2 127.0.0.1 >nul & " + try_once;
  }
  if (!StartWithHandles(shell, line, temp, read, nul == INVALID_HANDLE_VALUE ? nullptr : nul)) {
    CloseHandle(write);
  }
  CloseHandle(read);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
}
