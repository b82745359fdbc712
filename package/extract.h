// The extraction front: the one routine every caller unpacks a 7z archive with (through the
// archive library "7-zip32.dll"), and the repair of a stored archive's signature.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Receives the member being written and the percentage done.
using ExtractProgress = std::function<void(const std::string& member, int percent)>;

// Extracts `archive` into `folder` (flat: without folder names). `include` and `exclude` are
// comma-separated member names or masks, either may be empty. True when the library reports
// success.
bool ExtractArchive(const std::string& archive, const std::string& folder, bool flat,
                    const std::string& password, const ExtractProgress& progress = nullptr,
                    const std::string& include = std::string(),
                    const std::string& exclude = std::string());

// Writes "7z" back at `offset` unless the file already starts with the 7z signature at offset 0 or
// 1. A file too short to hold the two bytes at `offset` is left alone. False when it could not
// be read or written.
bool RestoreArchiveSignature(const std::string& path, int64_t offset);
