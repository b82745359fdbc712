// The archive library on Windows: the file "7-zip32.dll" written into the temporary folder at
// program entry and loaded from there by its full path, never through the DLL search order.
#include <windows.h>

#include <cstring>

#include "package/extract.h"
#include "package/open_package.h"
#include "runtime/files.h"
#include "runtime/wide_win32.h"

namespace {

typedef BOOL(CALLBACK* ArchiverProc)(HWND window, UINT message, UINT state, LPVOID record);
typedef BOOL(WINAPI* SetOwnerWindowEx)(HWND window, ArchiverProc callback);
typedef int(WINAPI* SevenZipEntry)(HWND window, LPCSTR line, LPSTR output, DWORD output_size);

constexpr int kArchiveLibraryResource = 100;

struct Library {
  HMODULE module = nullptr;
  SetOwnerWindowEx set_owner = nullptr;
  SevenZipEntry run = nullptr;
};

// Loaded on first use and kept for the life of the process.
Library& TheLibrary() {
  static Library library;
  if (library.run) return library;
  HMODULE module = LoadLibraryW(ToWide(ArchiveLibraryPath()).c_str());
  if (!module) return library;
  auto set_owner = reinterpret_cast<SetOwnerWindowEx>(
      reinterpret_cast<void*>(GetProcAddress(module, "SevenZipSetOwnerWindowEx")));
  auto run = reinterpret_cast<SevenZipEntry>(
      reinterpret_cast<void*>(GetProcAddress(module, "SevenZip")));
  if (!set_owner || !run) {
    FreeLibrary(module);
    return library;
  }
  library.module = module;
  library.set_owner = set_owner;
  library.run = run;
  return library;
}

// The routine of the extraction in progress; the library calls back on this thread only.
const ExtractProgress* current_progress = nullptr;

BOOL CALLBACK OnProgress(HWND, UINT, UINT state, LPVOID record) {
  static const ExtractProgress none;
  return OnArchiveProgress(state, record, current_progress ? *current_progress : none) ? TRUE
                                                                                       : FALSE;
}

}  // namespace

int RunArchiveLibrary(const std::string& line, const ExtractProgress& progress,
                      std::string* message) {
  Library& library = TheLibrary();
  if (!library.run) {
    if (message) *message = "the archive library could not be loaded";
    return -1;
  }
  const ExtractProgress* outer = current_progress;
  current_progress = &progress;
  library.set_owner(nullptr, OnProgress);
  // The library's message names the member a refusal is about; it is cut to the buffer.
  char text[1024] = {0};
  int result = library.run(nullptr, line.c_str(), text, sizeof text);
  current_progress = outer;
  if (message) message->assign(text, strnlen(text, sizeof text));
  return result;
}

bool WriteArchiveLibrary() {
  const Bytes image = OwnResource("ARCHIVE_DLL", kArchiveLibraryResource);
  if (image.empty()) return false;
  return WriteWholeFile(ArchiveLibraryPath(), image);
}
