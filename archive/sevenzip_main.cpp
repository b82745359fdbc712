// The native command "sevenzip": the SevenZip entry's command line on Linux (tests, benchmarks).
// Usage: sevenzip [-v] COMMAND-LINE... ; the exit status is the low byte of the result.
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/extract_job.h"
#include "runtime/text.h"

int main(int argc, char** argv) {
  bool verbose = false;
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-v") {
      verbose = true;
      continue;
    }
    if (!line.empty()) line += ' ';
    // Arguments the shell unquoted get their quotes back, so names with spaces stay whole.
    bool needs_quotes = arg.find_first_of(" \t") != std::string::npos &&
                        arg.find('"') == std::string::npos;
    line += needs_quotes ? "\"" + arg + "\"" : arg;
  }
  if (line.empty()) {
    std::fprintf(stderr,
                 "usage: sevenzip [-v] x|e ARCHIVE [-oFOLDER | FOLDER/] [MASK...] [-x!MASK] "
                 "[-pPASSWORD] [-y] [-hide]\n");
    return 2;
  }
  sz::ParseOptions options;
  options.slash_starts_switch = false;
  sz::ExtractCallback callback;
  if (verbose) {
    callback = [](int state, const sz::ExtractingInfo* info) {
      if (state == sz::kExtractBegin) {
        std::printf("%s\n", GbkToUtf8(info->destination_name).c_str());
      } else if (state == sz::kExtractEnd) {
        std::printf("done\n");
      }
      return true;
    };
  }
  std::string message;
  int result = sz::RunSevenZip(line, options, callback, &message);
  if (result != 0) std::fprintf(stderr, "sevenzip: %s\n", GbkToUtf8(message).c_str());
  else if (verbose) std::printf("%s\n", message.c_str());
  return result & 0xFF;
}
