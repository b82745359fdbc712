// Native stand-ins for the system services, so the logic above them runs in Linux tests: the
// temporary folder is $TMPDIR or /tmp/, the other folders are unknown, the machine reports itself
// as 32-bit Windows 6.1 and its registry is empty.
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "environment/system.h"
#include "runtime/files.h"

namespace {

uint32_t Milliseconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

}  // namespace

std::string SpecialFolder(int number) {
  if (number != kFolderTemp) return std::string();
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && *tmp ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string UniqueTempName(const std::string& folder) {
  static uint32_t counter = UniqueTempCounterStart(static_cast<uint32_t>(getpid()));
  std::string base = folder.empty() ? SpecialFolder(kFolderTemp) : folder;
  return UniqueTempNameWith(base, Milliseconds(), counter, PathExists);
}

std::string EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::string(value) : std::string();
}

double WindowsVersion() { return 6.1; }

bool IsWindows64() { return false; }

bool DisableFsRedirection(void** token) {
  if (token) *token = nullptr;
  return false;
}

void RevertFsRedirection(void*) {}

Bytes ReadRegistryBytes(int, const std::string&, RegistryView) { return Bytes(); }
