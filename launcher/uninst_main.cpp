// The uninst program: the launcher every installation gets as uninst.exe.
#include <windows.h>

#include "launcher/launcher_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunLauncher(); }
