// Writing the installer file: the setup program image, then each unit after one 00 byte — the
// mode record "qev-1", the configuration block and, when the data travels inside, the data block —
// and naming the data volumes that travel beside it.
#pragma once

#include <string>
#include <vector>

#include "tools/description.h"

struct InstallerParts {
  std::string setup_path;        // setup.exe (a file that already carries a package is cut)
  std::string config_archive;    // bytes of the configuration archive, as stored
  std::string data_archive_path; // empty: no data block
  bool alter_data_signature = false;
  std::string program_icon;      // an icon file made the installer's icon; empty: setup's own
  std::string launcher_icon;     // an icon file made the icon of the launcher setup carries
};

// Writes the installer to `output_path`. False with `error` set when a part is missing, the icon
// cannot be made the program's icon, or a unit holds bytes that would mislead the installer's
// marker searches.
bool WriteInstallerFile(const InstallerParts& parts, const std::string& output_path,
                        std::string& error);

// Replaces the first two bytes of a stored archive so that its 7z signature is found neither at
// offset 0 nor at offset 1 (the installer writes "7z" back before extracting).
void AlterSignature(std::string& archive_start);

// File names of `count` volumes: ordered "<base>.001"...; unordered "<base>.part1"... (their
// extensions do not follow the volume order, so the installer joins them); counted
// "<product>.001"... (named by the installer from the product name).
std::vector<std::string> VolumeNames(VolumeNaming naming, const std::string& base, size_t count);
