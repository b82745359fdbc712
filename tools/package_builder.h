// The package builder: from a source folder (description "package.ini", a configuration folder, a
// product folder) to an installer file, and the data volumes beside it when the data is split.
#pragma once

#include <string>
#include <vector>

struct BuildOptions {
  std::string source_folder;  // holds package.ini
  std::string output_folder;  // created when missing
  std::string setup_path;     // overrides [package] setup
  std::string sevenzip = "7zz";
  bool keep_work = false;     // keep the staged configuration files (output/.qevpack-work)
};

struct BuildResult {
  bool ok = false;
  std::vector<std::string> errors;
  std::vector<std::string> warnings;
  std::string installer_path;
  std::vector<std::string> volume_paths;
  std::string config_password;       // password of the configuration archive
  std::vector<std::string> config_files;  // names in the configuration archive (UTF-8)
};

BuildResult BuildInstaller(const BuildOptions& options);
