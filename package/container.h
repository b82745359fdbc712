// The package container: units appended behind the program image, found by their markers, and the
// item format used inside groups and several configuration files.
//
// Byte map of an appended part (nothing carries a header, an offset or a size):
//
//   program image
//   00  "QEV-mark=配置包A" 01   run-mode text ("qev-1" / "qev-2")   "QEV-mark=配置包B" 01
//       "QEV-mark=配置包sA" 01  configuration 7z archive            "QEV-mark=配置包sB" 01
//       "QEV-mark=7zipdataA" 01 product data 7z archive             "QEV-mark=7zipdataB" 01
//   00  <name>"A" 01            group content                       <name>"B" 01
//   ... further groups, each after one 00 byte; an uninstaller file ends with a mode record
//
// Item:  <name> 01 <value> <name>"end"      (an empty value is stored as 01 02 03)
//
// The marker byte 01 is never stored in the program: every marker is built at run time from its
// text, so a search over the program's own file cannot stop inside the program's constants.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/items.h"  // the item functions belong to the container format as well
#include "runtime/text.h"

// Marker texts without the closing 01 byte.
inline constexpr std::string_view kModeStartText = "QEV-mark=配置包A";
inline constexpr std::string_view kModeEndText = "QEV-mark=配置包B";
inline constexpr std::string_view kConfigStartText = "QEV-mark=配置包sA";
inline constexpr std::string_view kConfigEndText = "QEV-mark=配置包sB";
inline constexpr std::string_view kDataStartText = "QEV-mark=7zipdataA";
inline constexpr std::string_view kDataEndText = "QEV-mark=7zipdataB";

// Run-mode texts of the mode record.
inline constexpr std::string_view kInstallerModeText = "qev-1";
inline constexpr std::string_view kUninstallerModeText = "qev-2";

// Receives the percentage of the file searched so far.
using ProgressRoutine = std::function<void(int percent)>;

// Searches are bounded in time as well as memory: a file that stays empty and a group write that
// keeps failing are given up after a few seconds. Tests shorten these.
struct ContainerTiming {
  int empty_file_polls = 30;      // re-reads of a zero-length file's size
  int empty_file_poll_ms = 100;
  int group_write_tries = 10;     // writes of one group before giving up
  int group_retry_ms = 300;
};
ContainerTiming& ContainerTimingSettings();

// Size of the blocks read by the searches (15 MiB) and by CutProgramImage (5 MiB).
inline constexpr int64_t kSearchBlockBytes = 0xF00000;
inline constexpr int64_t kCutBlockBytes = 0x500000;

// The content of the first unit delimited by the two markers (texts without 01), searched from the
// start of the file. Empty when the file cannot be read or either marker is missing. With
// `to_temp_file` the unit, start marker included, is copied block by block into a new
// "<unique>.tmp.7zqev" file in the temporary folder, whose path becomes the start-up data source;
// the result is then always empty.
Bytes FindBlockForward(const std::string& path, std::string_view start_text,
                       std::string_view end_text, const ProgressRoutine& progress = nullptr,
                       bool to_temp_file = false);

// The copying half of the above with a chosen output file: writes the start marker and the content
// to `out_path` (created or replaced). True when the end marker was found.
bool CopyBlockForward(const std::string& path, std::string_view start_text,
                      std::string_view end_text, const ProgressRoutine& progress,
                      const std::string& out_path);

// The content between the last end marker of the file and the last start marker before it.
// Note the order: end marker text first.
Bytes FindBlockBackward(const std::string& path, std::string_view end_text,
                        std::string_view start_text);

// The run-mode text of the file's mode record (up to its first NUL byte); empty when none.
std::string ReadRunMode(const std::string& path);

// RunMode of a run-mode text: 1 "qev-1", 2 "qev-2", 0 anything else.
int RunModeFromText(std::string_view text);

// Appends 00, name "A" 01, the content, name "B" 01 to an existing file in one write; a failing
// write is retried for a few seconds. False when it never succeeded.
bool AppendGroup(const std::string& path, std::string_view name, std::string_view content);

// Appends 00 and the mode record holding `mode_text` to an existing file.
bool AppendModeRecord(const std::string& path, std::string_view mode_text);

// Everything before the 00 byte that precedes the first mode record; empty when the file has no
// mode record (or it starts the file).
Bytes CutProgramImage(const std::string& path);
