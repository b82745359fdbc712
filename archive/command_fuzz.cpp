// Fuzz target: the SevenZip command-line parser, the member masks and the member-name check on
// arbitrary bytes (GBK lead bytes at the very end, stray quotes, long wildcard runs).
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/extract_job.h"
#include "archive/sevenzip_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  sz::SevenZipCommand command;
  std::string error;
  for (bool slash : {true, false}) {
    sz::ParseOptions options;
    options.slash_starts_switch = slash;
    if (sz::ParseSevenZipCommand(text, options, &command, &error)) {
      sz::IsPathSelected(command, command.archive);
      sz::IsPathSelected(command, command.output);
    }
  }
  size_t half = size / 2;
  sz::MaskMatchesPath(std::string_view(text).substr(0, half), std::string_view(text).substr(half));
  sz::IsSafeMemberPath(text);
  return 0;
}
