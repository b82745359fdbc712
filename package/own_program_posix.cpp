// The own process on the native build: there is no Windows command line and no resources, so
// OpenPackage runs natively only with hooks given by the caller.
#include <unistd.h>

#include <string>

#include "package/command_line.h"
#include "package/open_package.h"

std::string ProcessCommandLine() { return std::string(); }

std::string OwnProgramPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? Utf8ToGbk(std::string(buffer, size_t(n))) : std::string();
}

Bytes OwnResource(const char*, int) { return Bytes(); }
