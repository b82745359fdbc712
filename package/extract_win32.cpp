// The archive library on Windows: the file "7-zip32.dll" written into a fresh private folder of
// the run at program entry, checked against the image it was written from and loaded by its full
// path, never through the DLL search order; removed with its folder when the process ends.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "environment/system.h"
#include "package/cleanup.h"
#include "package/extract.h"
#include "package/open_package.h"
#include "runtime/files.h"
#include "runtime/private_folder_win32.h"
#include "runtime/wide_win32.h"

namespace {

typedef BOOL(CALLBACK* ArchiverProc)(HWND window, UINT message, UINT state, LPVOID record);
typedef BOOL(WINAPI* SetOwnerWindowEx)(HWND window, ArchiverProc callback);
typedef int(WINAPI* SevenZipEntry)(HWND window, LPCSTR line, LPSTR output, DWORD output_size);

constexpr int kArchiveLibraryResource = 100;

// The run's copy of the library. The guard handle is open from the moment the file is written
// until it is removed, without write or delete sharing: nobody can change, replace or rename the
// file in between, so the bytes compared before loading are the bytes loaded.
struct LibraryFile {
  std::string folder;  // "<Temp>\<hex>.tmp"
  std::string path;    // folder + "\7-zip32.dll"
  HANDLE guard = INVALID_HANDLE_VALUE;
};
LibraryFile library_file;

struct Library {
  HMODULE module = nullptr;
  SetOwnerWindowEx set_owner = nullptr;
  SevenZipEntry run = nullptr;
};
Library library;

bool WriteAll(HANDLE file, const Bytes& image) {
  size_t done = 0;
  while (done < image.size()) {
    DWORD step = static_cast<DWORD>(std::min<size_t>(image.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, image.data() + done, step, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// The file behind the guard holds exactly `image`.
bool HoldsImage(HANDLE guard, const Bytes& image) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(guard, &size) || static_cast<uint64_t>(size.QuadPart) != image.size())
    return false;
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(guard, start, nullptr, FILE_BEGIN)) return false;
  std::vector<char> block(1 << 16);
  size_t at = 0;
  while (at < image.size()) {
    DWORD got = 0;
    if (!ReadFile(guard, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) || got == 0)
      return false;
    if (got > image.size() - at || std::memcmp(block.data(), image.data() + at, got) != 0)
      return false;
    at += got;
  }
  return true;
}

}  // namespace

void RemoveArchiveLibrary() {
  if (library.module) FreeLibrary(library.module);
  library = Library();
  if (library_file.guard != INVALID_HANDLE_VALUE) CloseHandle(library_file.guard);
  if (!library_file.path.empty()) DeleteFileW(ToWide(library_file.path).c_str());
  if (!library_file.folder.empty()) RemoveDirectoryW(ToWide(library_file.folder).c_str());
  library_file = LibraryFile();
}

namespace {

// Loaded on first use and kept until the process ends; only the file this run wrote, and only
// while it still holds the carried image.
Library& TheLibrary() {
  if (library.run || library_file.guard == INVALID_HANDLE_VALUE) return library;
  if (!HoldsImage(library_file.guard, OwnResource("ARCHIVE_DLL", kArchiveLibraryResource)))
    return library;
  HMODULE module = LoadLibraryW(ToWide(library_file.path).c_str());
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
  TheLibrary();
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
  if (library_file.guard != INVALID_HANDLE_VALUE) return true;
  const Bytes image = OwnResource("ARCHIVE_DLL", kArchiveLibraryResource);
  if (image.empty()) return false;
  // A name taken meanwhile (by another program, or planted) is passed over for the next one.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string folder = UniqueTempName();
    if (folder.empty()) return false;
    if (!CreatePrivateFolder(folder)) continue;
    const std::string path = folder + "\\" + kArchiveLibraryName;
    const std::wstring wide = ToWide(path);
    HANDLE out = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool written = out != INVALID_HANDLE_VALUE && WriteAll(out, image);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    // Read access with read sharing only: the loader may map the file, nobody may write it.
    HANDLE guard = written ? CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                           : INVALID_HANDLE_VALUE;
    if (guard == INVALID_HANDLE_VALUE) {
      if (written) DeleteFileW(wide.c_str());
      RemoveDirectoryW(ToWide(folder).c_str());
      continue;
    }
    library_file.folder = folder;
    library_file.path = path;
    library_file.guard = guard;
    // The path first: the unloading action registered after it runs before it is removed.
    RegisterTemporaryPath(folder);
    RegisterCleanupAction(RemoveArchiveLibrary);
    return true;
  }
  return false;
}
