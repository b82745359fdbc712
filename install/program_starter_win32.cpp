// StartProgram on Windows: web addresses through the shell's default action, command lines without
// a drive letter (cmd, regedit) as processes of an application named by its full path, programs
// with a full path through the shell's "open" verb from their own folder.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "environment/system.h"
#include "install/program_starter.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/text.h"
#include "runtime/wide_win32.h"

namespace {

// Waits for the process to end while the window messages of this thread keep running, so the
// installer's page repaints meanwhile.
void WaitForProcess(HANDLE process) {
  for (;;) {
    const DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + 1) return;  // ended, or the wait itself failed
    LetMessagesRun();
  }
}

// Where a bare program name is looked for: the system folder, the Windows folder, then the
// search path (ResolveApplication keeps only its absolute folders).
std::vector<std::string> ApplicationFolders() {
  std::vector<std::string> folders = {SpecialFolder(10), SpecialFolder(9)};
  for (const std::string& folder : SplitText(EnvironmentVariable("PATH"), ";")) {
    folders.push_back(ReplaceAll(TrimSpaces(folder), "\"", ""));
  }
  return folders;
}

class WindowsStarter : public ProgramStarter {
 public:
  void StartProgram(const std::string& command, bool wait, bool hidden) override {
    if (command.empty()) return;
    const int show = hidden ? SW_HIDE : SW_SHOWNORMAL;
    if (IsWebAddressCommand(command)) {
      const std::wstring address = ToWide(ReplaceAll(command, "\"", ""));
      ShellExecuteW(nullptr, nullptr, address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return;
    }
    const ProgramAndParameters split = SplitProgramAndParameters(command);
    HANDLE process = nullptr;
    if (!HasDriveLetter(split.program)) {
      const std::string application = ResolveApplication(
          split.program, ApplicationFolders(), [](const std::string& path) { return FileExists(path); });
      if (!application.empty()) process = RunCommandLine(application, command, show);
    } else {
      process = OpenThroughShell(split, show);
    }
    const bool own_batch = IsOwnBatchFile(split.program);
    if (process && wait) {
      WaitForProcess(process);
    } else if (process && own_batch) {
      // The handle stays open: the installer's end asks whether the batch still runs.
      BatchRunGoesOn(split.program,
                     [process] { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; });
      return;
    }
    if (process) CloseHandle(process);
    if (own_batch) BatchRunEnded(split.program);
  }

 private:
  // The started process, or null when it could not be started.
  static HANDLE RunCommandLine(const std::string& application, const std::string& command,
                               int show) {
    const std::wstring app = ToWide(application);
    std::wstring line = ToWide(command);
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(app.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
  }

  // The started process; null when it could not be started or was handed to a running program
  // (nothing to wait for then).
  static HANDLE OpenThroughShell(const ProgramAndParameters& split, int show) {
    const std::wstring file = ToWide(split.program);
    const std::wstring parameters = ToWide(split.parameters);
    const std::wstring folder = ToWide(FolderOfPath(split.program));
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = show;
    if (!ShellExecuteExW(&info)) return nullptr;
    return info.hProcess;
  }
};

}  // namespace

ProgramStarter& SystemProgramStarter() {
  static WindowsStarter starter;
  return starter;
}
