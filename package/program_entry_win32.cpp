// The first steps of the program entry on Windows (see program_entry.h).
#include <windows.h>

#include "package/extract.h"
#include "package/program_entry.h"

namespace {

// SetDefaultDllDirectories is missing on Windows 7 without its update, hence the look-up.
void RestrictDllSearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD flags);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set) set(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

}  // namespace

bool PrepareProgramEntry() {
  RestrictDllSearch();
  return WriteArchiveLibrary();
}
