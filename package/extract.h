// The extraction front: the one routine every caller unpacks a 7z archive with (through the
// archive library "7-zip32.dll"), and the repair of a stored archive's signature.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Receives the member being written and the percentage done.
using ExtractProgress = std::function<void(const std::string& member, int percent)>;

// Extracts `archive` into `folder` (flat: without folder names). `include` and `exclude` are
// comma-separated member names or masks, either may be empty. True when the library reports
// success; otherwise `why` (optional) gets the library's reason, for the log.
bool ExtractArchive(const std::string& archive, const std::string& folder, bool flat,
                    const std::string& password, const ExtractProgress& progress = nullptr,
                    const std::string& include = std::string(),
                    const std::string& exclude = std::string(), std::string* why = nullptr);

// Writes "7z" back at `offset` unless the file already starts with the 7z signature at offset 0 or
// 1. A file too short to hold the two bytes at `offset` is left alone. False when it could not
// be read or written.
bool RestoreArchiveSignature(const std::string& path, int64_t offset);

// ---- The archive library ----

// File name of the archive library. Each run writes it into a fresh folder of its own in the
// temporary folder (a "<hex>.tmp" name, open to this user and the system only), holds the file
// open so nobody can change or replace it, and loads it by its full path only after comparing it
// with the image it carries: a "7-zip32.dll" that this run did not write is never loaded. The
// folder is removed when the process ends.
inline constexpr const char* kArchiveLibraryName = "7-zip32.dll";

// Writes the library image carried by the program (resource "ARCHIVE_DLL" 100) into the run's own
// folder. False when there is no image or no folder and file of this run could be made.
bool WriteArchiveLibrary();
// Unloads the library and removes its file and folder; the clean-up at the end of the process
// does it as well.
void RemoveArchiveLibrary();

// Hands `line` to the library's SevenZip entry with the progress callback installed; returns its
// result (and its message text in `message`), or -1 when the library cannot be loaded. Natively
// the library's code is called directly.
int RunArchiveLibrary(const std::string& line, const ExtractProgress& progress,
                      std::string* message);

// ---- Pieces of ExtractArchive, shared by both builds ----

// The command line handed to SevenZip. `folder` already ends with "\".
std::string ExtractCommandLine(const std::string& archive, const std::string& folder, bool flat,
                               const std::string& password, const std::string& include,
                               const std::string& exclude);

// The folders made before an extraction, outermost first: every level of `folder` below its drive
// ("C:"), up to the first empty, "." or ".." part. None unless the path starts with a drive.
std::vector<std::string> FolderLevels(const std::string& folder);

// The head of the library's extracting-information record: the only fields read.
struct ExtractRecordHead {
  uint32_t total_size;
  uint32_t written_size;
  char source_name[513];
  char filler[3];
  char destination_name[513];
};
inline constexpr size_t kExtractRecordHeadBytes = 4 + 4 + 513 + 3 + 513;

// Percentage of `written` of `total`; a total of 0xFFFFFFFF means `written` is per mille.
int ProgressPercent(uint32_t total, uint32_t written);

// The progress callback's work for one call of the library: state 2 reports (empty, 100), any
// other state the destination name and percentage of the record. Always asks to continue (1).
int OnArchiveProgress(unsigned state, const void* record, const ExtractProgress& progress);
