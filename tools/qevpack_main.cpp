// qevpack: builds an installer from a package source folder (see README, "Package builder").
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/package_builder.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qevpack SOURCE-FOLDER [-o OUTPUT-FOLDER] [--setup SETUP.EXE] [--7z 7ZZ]"
               " [--keep-work]\n"
               "  SOURCE-FOLDER holds package.ini, the product folder and the configuration"
               " folder.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  BuildOptions options;
  options.output_folder = "out";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&](std::string& target) {
      if (i + 1 >= argc) return false;
      target = argv[++i];
      return true;
    };
    if (a == "-o" || a == "--output") {
      if (!next(options.output_folder)) return Usage();
    } else if (a == "--setup") {
      if (!next(options.setup_path)) return Usage();
    } else if (a == "--7z") {
      if (!next(options.sevenzip)) return Usage();
    } else if (a == "--keep-work") {
      options.keep_work = true;
    } else if (a == "-h" || a == "--help") {
      return Usage();
    } else if (options.source_folder.empty() && !a.empty() && a[0] != '-') {
      options.source_folder = a;
    } else {
      return Usage();
    }
  }
  if (options.source_folder.empty()) return Usage();
  BuildResult result = BuildInstaller(options);
  for (const auto& w : result.warnings) std::fprintf(stderr, "qevpack: warning: %s\n", w.c_str());
  for (const auto& e : result.errors) std::fprintf(stderr, "qevpack: error: %s\n", e.c_str());
  if (!result.ok) return 1;
  std::printf("installer: %s\n", result.installer_path.c_str());
  for (const auto& v : result.volume_paths) std::printf("volume: %s\n", v.c_str());
  std::printf("configuration files:");
  for (const auto& f : result.config_files) std::printf(" %s", f.c_str());
  std::printf("\n");
  return 0;
}
