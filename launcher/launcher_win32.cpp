// The uninst program's run on Windows: the working folder in the temporary folder, the padded copy
// of "uninst.dat", the icon for the uninstall window, and the start of the uninstaller.
#include <windows.h>
#include <shellapi.h>

#include "launcher/launcher.h"
#include "launcher/launcher_run.h"
#include "package/exit_codes.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/wide_win32.h"

namespace {

Bytes Resource(HMODULE module, const wchar_t* type, const wchar_t* name) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return Bytes();
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return Bytes();
  return Bytes(static_cast<const char*>(data), size);
}

std::string ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      return GbkPathFromWide(path);
    }
    path.resize(path.size() * 2);
  }
}

std::string TempFolder() {
  wchar_t path[MAX_PATH + 2] = {0};
  const DWORD got = GetTempPathW(MAX_PATH + 1, path);
  if (got == 0 || got > MAX_PATH) return std::string();
  std::string folder = GbkPathFromWide(path);
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

std::vector<std::wstring> OwnArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!list) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(list[i]);
  LocalFree(list);
  return arguments;
}

BOOL CALLBACK FirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  auto* out = reinterpret_cast<std::wstring*>(found);
  if (IS_INTRESOURCE(name)) {
    *out = L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(name));
  } else {
    *out = name;
  }
  return FALSE;  // the first group is the one
}

// The first icon group of a program file as an icon file; empty when it has none.
Bytes FirstIconFile(const std::string& program) {
  HMODULE module = LoadLibraryExW(PathToWide(program).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return Bytes();
  std::wstring name;
  EnumResourceNamesW(module, RT_GROUP_ICON, FirstName, reinterpret_cast<LONG_PTR>(&name));
  Bytes icon;
  if (!name.empty()) {
    const Bytes group = Resource(module, RT_GROUP_ICON, name.c_str());
    icon = IconFileFromGroup(group, [&](int id) {
      return Resource(module, RT_ICON, MAKEINTRESOURCEW(id));
    });
  }
  FreeLibrary(module);
  return icon;
}

}  // namespace

int RunLauncher() {
  const std::string own_path = ModulePath();
  const std::string own_dir = FolderOfPath(own_path);
  const std::string own_name = NameOfPath(own_path);
  const std::vector<std::wstring> own_arguments = OwnArguments();
  // The switches are looked for as the uninstaller reads its arguments (GBK); the arguments pass on
  // in the exact form of text.h, so they reach it as they came, even with characters GBK lacks.
  std::vector<std::string> arguments, passed;
  for (const std::wstring& a : own_arguments) {
    arguments.push_back(FromWide(a));
    passed.push_back(PathFromWide(a));
  }
  const std::string temp = TempFolder();
  const std::string uninstall_root = temp + "Uninstall";
  // Without a usable temporary folder or own path (a name GBK cannot hold, on a volume without
  // short names) nothing is made, least of all an "Uninstall" folder in the current one.
  if (temp.empty() || own_path.empty()) {
    return arguments.empty() ? kExitSuccess : kExitUninstallerNotStarted;
  }

  // Working folders of earlier runs go; a copy that still runs keeps its own.
  RemoveFolderTree(uninstall_root);
  CreateOneFolder(uninstall_root);

  const std::string data_path = own_dir + "\\uninst.dat";
  Bytes data;
  if (!FileExists(data_path) || !ReadWholeFile(data_path, data)) {
    // A script that asked for something gets the code; a person gets the message.
    if (!arguments.empty()) return kExitUninstallDataMissing;
    MessageBoxW(nullptr, ToWide(kMissingDataMessage).c_str(), L"", MB_OK | MB_ICONERROR);
    return kExitSuccess;
  }
  const bool wait = RunsInBackground(UninstallRecordOf(data), arguments);

  Bytes name = Resource(nullptr, L"NAME", MAKEINTRESOURCEW(kLauncherNameResource));
  name = name.substr(0, name.find('\0'));
  const std::string working = uninstall_root + "\\" + name;
  CreateOneFolder(working);
  WriteWholeFile(working + "\\uninst.dat",
                 Resource(nullptr, L"UNINST_DAT", MAKEINTRESOURCEW(kLauncherDataResource)));

  const std::string copy = working + "\\" + own_name;
  bool copied = WriteWholeFile(copy, data);
  data.clear();
  data.shrink_to_fit();
  if (copied) {
    File file;
    copied = file.Open(copy, File::Mode::kReadWrite) && file.Seek(file.Size());
    const Bytes padding(size_t(kUninstallerPadding), '\0');
    copied = copied && file.Write(padding.data(), int64_t(padding.size()));
  }

  const Bytes icon = FirstIconFile(own_path);
  if (!icon.empty()) WriteWholeFile(working + "\\uninst.ico", icon);
  // A launcher that stays to wait would keep its own file in the install directory, which the
  // uninstaller could then not remove: a running program's file can still be moved, so it moves
  // into the working folder, which the uninstaller's helper removes once both have ended.
  const std::string moved = working + "\\" + own_name + ".launcher";
  const bool moved_away = wait && MoveFileExW(PathToWide(own_path).c_str(),
                                              PathToWide(moved).c_str(), MOVEFILE_REPLACE_EXISTING);
  // An uninstall that removed nothing gets its launcher back where the user will look for it.
  const auto move_back = [&] {
    if (moved_away) MoveFileExW(PathToWide(moved).c_str(), PathToWide(own_path).c_str(), 0);
  };

  std::wstring line = PathToWide(UninstallerCommandLine(copy, own_dir, working, passed));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process = {};
  const bool started = copied && CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0,
                                                nullptr, nullptr, &startup, &process);
  if (!started) {
    move_back();
    return wait ? kExitUninstallerNotStarted : kExitSuccess;
  }
  DWORD code = kExitSuccess;
  if (wait) {
    WaitForSingleObject(process.hProcess, INFINITE);
    if (!GetExitCodeProcess(process.hProcess, &code)) code = kExitUninstallerNotStarted;
    if (code == kExitUninstallDataMissing || code == kExitUninstallerNotStarted ||
        code == kExitUninstallCancelled) {
      move_back();
    }
    // This launcher outlives the uninstaller, whose helper may find the launcher's file still in
    // the working folder: what is left goes now, the file itself once this process has ended.
    RemoveFolderTree(working);
    if (FolderExists(working)) {
      RemoveFolderAfterExit(working, uninstall_root);
    } else {
      RemoveEmptyFolder(uninstall_root);
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return int(code);
}
