// Entry of setup.exe: everything it does lives in the libraries below it.
#include <windows.h>

#include "package/open_package.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  PrepareStartup(DefaultPackageHooks());
  return 0;
}
