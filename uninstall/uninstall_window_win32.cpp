// The uninstall window on Windows.
#include <windows.h>

#include "package/exit_codes.h"
#include "runtime/wide_win32.h"
#include "uninstall/uninstall_window.h"

unsigned RunUninstallWindow(UninstallRequest& request, const UninstallerFiles&,
                            const UninstallRecord& record, int mode, bool visible) {
  const std::wstring title = ToWide(record.product_name + record.version + " 卸载向导");
  if (visible && !(mode & kUninstallDirect)) {
    const std::string question =
        "这个向导将从你的计算机卸载“" + record.product_name + record.version + "”。";
    if (MessageBoxW(nullptr, ToWide(question).c_str(), title.c_str(), MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
      return kExitUninstallCancelled;
    }
  }
  UninstallObserver observer;
  const UninstallOutcome outcome = RunUninstall(request, observer, DefaultUninstallSystem());
  return outcome.exit_code;
}
