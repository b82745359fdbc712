// Entry of setup.exe: everything it does lives in the libraries below it.
#include <windows.h>

#include "package/open_package.h"
#include "package/program_entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // A library file left by an earlier run that cannot be replaced (another instance holds it) is
  // loaded as it is.
  PrepareProgramEntry();
  PrepareStartup(DefaultPackageHooks());
  return 0;
}
