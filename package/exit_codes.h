// Exit codes of setup.exe and of uninst.exe. Numbered once; a number is never reused for another
// meaning. The README lists them for publishers who script silent installs and uninstalls. The
// uninstaller's own codes start at 20, apart from the installer's.
#pragma once

enum SetupExitCode : unsigned {
  kExitSuccess = 0,              // the install (or the test-mode run) completed
  kExitNoPackage = 1,            // no installer package is appended and no "test" argument
  kExitDirectoryRefused = 2,     // the install directory is empty or failed its checks
  kExitPasswordRefused = 3,      // the install password was wrong or its box was cancelled
  kExitExtractionFailed = 4,     // the main extraction (or an exclusion group) did not succeed
  kExitMissingVolume = 5,        // a split volume of the product data is missing
  kExitUserQuit = 6,             // the user confirmed quitting the wizard
  kExitNoWindow = 7,             // no window could be made (no display) for a wizard or direct install
  kExitCrashed = 8,              // the program met a fault no step handled; the log names it

  kExitUninstallDataMissing = 20,   // "uninst.dat" (or its record) is missing beside uninst.exe
  kExitUninstallerNotStarted = 21,  // the uninstaller could not be copied or started
  kExitUninstallCancelled = 22,     // the uninstall was cancelled (the window, or a plug-in)
  kExitUninstallIncomplete = 23,    // a recorded file or shortcut could not be removed
};

// Why a run ended without installing, for the /LOG result line.
inline constexpr const char* kCrashedReason = "程序异常终止";
inline constexpr const char* kNoWindowReason = "无法创建安装向导窗口 (没有显示器), 只有后台安装可以无窗口进行";
