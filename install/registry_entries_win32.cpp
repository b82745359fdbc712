// Starting the Registry Editor for a ".reg" import: hidden, not waited for, its file removed at the
// installer's end.
#include <windows.h>

#include <string>

#include "environment/system.h"
#include "install/registry_entries.h"
#include "package/cleanup.h"
#include "runtime/files.h"
#include "runtime/wide_win32.h"

namespace {

// Where the system's own search would find "regedit" (the system folder, as a 32-bit program
// sees it, then the Windows folder), without the current folder that search also looks in.
std::wstring RegistryEditorPath() {
  wchar_t folder[MAX_PATH + 1] = {};
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    std::wstring path = std::wstring(folder, n) + L"\\regedit.exe";
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  }
  n = GetWindowsDirectoryW(folder, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::wstring(folder, n) + L"\\regedit.exe";
  return std::wstring();
}

}  // namespace

bool RegistryEditorView64() { return sizeof(void*) == 8 && IsWindows64(); }

bool StartRegistryEditor(const std::string& reg_file) {
  const std::wstring program = RegistryEditorPath();
  std::wstring line = ToWide(RegeditCommand(reg_file));
  if (program.empty() || line.empty()) return false;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  // The import is not waited for; the file goes at the installer's end, when the editor is done.
  const HANDLE editor = process.hProcess;
  RegisterCleanupAction([editor, reg_file] {
    if (WaitForSingleObject(editor, kRegistryImportGraceMs) == WAIT_OBJECT_0) DeleteFileAt(reg_file);
    CloseHandle(editor);
  });
  return true;
}
