// Benchmark program (not a test) for the two heavy steps of an install, run alone under Wine so
// that their cost can be told apart from the rest of setup.exe:
//   install_bench copy INSTALLER [OUT] copies the data block out as start-up does (to OUT, by
//                                      default beside the installer), then deletes the copy
//   install_bench extract LIBRARY ARCHIVE FOLDER
//                                      loads the archive library by its path and extracts the
//                                      archive through its SevenZip entry, as the install run does
// Prints the wall time and this process's processor time of the step.
#include <windows.h>

#include <cstdio>
#include <string>

#include "package/container.h"
#include "runtime/files.h"

namespace {

typedef BOOL(CALLBACK* ArchiverProc)(HWND window, UINT message, UINT state, LPVOID record);
typedef BOOL(WINAPI* SetOwnerWindowEx)(HWND window, ArchiverProc callback);
typedef int(WINAPI* SevenZipEntry)(HWND window, LPCSTR line, LPSTR output, DWORD output_size);

double Seconds(const LARGE_INTEGER& from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

double ProcessorSeconds() {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  auto s = [](const FILETIME& t) {
    return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return s(kernel) + s(user);
}

// The install run's callback does this much per call: nothing that would cost time here.
BOOL CALLBACK OnProgress(HWND, UINT, UINT, LPVOID) { return TRUE; }

int Copy(const std::string& installer, const std::string& out) {
  LARGE_INTEGER t0;
  QueryPerformanceCounter(&t0);
  const double c0 = ProcessorSeconds();
  const bool found = CopyBlockForward(installer, kDataStartText, kDataEndText, nullptr, out);
  const double wall = Seconds(t0), cpu = ProcessorSeconds() - c0;
  const int64_t bytes = FileSize(out);
  DeleteFileAt(out);
  if (!found) {
    std::fprintf(stderr, "no data block in %s\n", installer.c_str());
    return 1;
  }
  std::printf("copy-out %.1f MB: wall %.3f s (%.0f MB/s), processor %.3f s\n", bytes / 1e6, wall,
              bytes / 1e6 / wall, cpu);
  return 0;
}

int Extract(const std::string& library, const std::string& archive, const std::string& folder) {
  LARGE_INTEGER t0;
  QueryPerformanceCounter(&t0);
  const double c0 = ProcessorSeconds();
  HMODULE module = LoadLibraryA(library.c_str());
  if (!module) {
    std::fprintf(stderr, "cannot load %s\n", library.c_str());
    return 1;
  }
  auto set_owner = reinterpret_cast<SetOwnerWindowEx>(
      reinterpret_cast<void*>(GetProcAddress(module, "SevenZipSetOwnerWindowEx")));
  auto run =
      reinterpret_cast<SevenZipEntry>(reinterpret_cast<void*>(GetProcAddress(module, "SevenZip")));
  if (!set_owner || !run) return 1;
  set_owner(nullptr, OnProgress);
  const std::string line = "x  \"" + archive + "\" -hide -y \"" + folder + "\\\" * -p\"\"";
  const int result = run(nullptr, line.c_str(), nullptr, 0);
  const double wall = Seconds(t0), cpu = ProcessorSeconds() - c0;
  std::printf("extract: result %d, wall %.3f s, processor %.3f s\n", result, wall, cpu);
  return result == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "copy" && (argc == 3 || argc == 4)) {
    return Copy(argv[2], argc == 4 ? std::string(argv[3]) : std::string(argv[2]) + ".bench.7zqev");
  }
  if (verb == "extract" && argc == 5) return Extract(argv[2], argv[3], argv[4]);
  std::fprintf(stderr,
               "usage: install_bench copy INSTALLER | extract LIBRARY ARCHIVE FOLDER\n");
  return 2;
}
