// One extraction as the SevenZip entry runs it: open the archive, select members by the command's
// masks, refuse names that would leave the destination, write each member as it is decoded, and
// report progress through the archiver-library family's extracting-information record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/sevenzip_command.h"

namespace sz {

// Result of SevenZip: 0 success; failures lie in the archiver-library family's error range
// (0x8000 and up). Each code's low byte is distinct and non-zero, so the native command can use
// it as its exit status.
enum SevenZipResult : int {
  kSevenZipOk = 0,
  kSevenZipCommandError = 0x8001,    // command line not understood
  kSevenZipOpenError = 0x8002,       // the archive file cannot be opened or read
  kSevenZipNotArchive = 0x8003,      // not a 7z archive, or its headers are broken
  kSevenZipPasswordError = 0x8004,   // missing or wrong password
  kSevenZipCrcError = 0x8005,        // a member's data did not match its CRC
  kSevenZipDataError = 0x8006,       // the packed data is malformed
  kSevenZipUnsupported = 0x8007,     // a method or feature this library does not implement
  kSevenZipMemoryError = 0x8008,     // a dictionary or table larger than allowed
  kSevenZipWriteError = 0x8009,      // an output folder or file could not be made or written
  kSevenZipUnsafeName = 0x800A,      // a selected member's name would leave the destination
  kSevenZipCancelled = 0x800B,       // the progress callback answered 0
  kSevenZipNameCollision = 0x800C,   // two selected members would be one file on Windows
  kSevenZipInvalidName = 0x800D,     // a member name is no valid UTF-16 (an unpaired surrogate)
};

const char* SevenZipResultText(int result);

// States of the progress callback, as the family numbers them. Begin comes once per file
// written (folders get none), in-process at least every MiB and when a file is complete, end
// once when a call that opened the archive is over, whether it succeeded or failed (not after a
// cancel: the caller asked to stop and hears nothing more).
enum ExtractState : int {
  kExtractBegin = 0,      // a file is about to be written (record filled, written so far)
  kExtractInProcess = 1,  // bytes of the current file were written
  kExtractEnd = 2,        // the operation ended; the record pointer is null
};

#pragma pack(push, 1)
// The family's extracting-information record (its extended form). Only the first fields are
// read by callers; the rest is filled where the archive knows the value.
struct ExtractingInfo {
  uint32_t total_size;          // selected unpacked bytes of the whole call; 0xFFFFFFFF above 4 GiB
  uint32_t written_size;        // bytes written so far in the call; per mille when total is 0xFFFFFFFF
  char source_name[513];        // member path inside the archive, GBK
  char filler1[3];
  char destination_name[513];   // output path, GBK (names outside GBK as Utf16ToGbkPath writes them)
  char filler2[3];
  uint32_t compressed_size;     // 0: not known per member in solid archives
  uint32_t crc;
  uint32_t os_type;             // 0: written on Windows
  uint16_t ratio;               // per mille, 0 when unknown
  uint16_t dos_date;
  uint16_t dos_time;
  char attributes[8];           // "RHSDA" letters, "-" where unset
  char mode[8];
  char reserved[6];
};
#pragma pack(pop)
static_assert(sizeof(ExtractingInfo) == 1080, "the record is 1,080 bytes");
static_assert(offsetof(ExtractingInfo, destination_name) == 524, "destination at 524");
static_assert(offsetof(ExtractingInfo, compressed_size) == 1040, "extended part at 1,040");

// The size fields for `written` of `total` bytes: plain byte counts up to 4 GiB - 2; above that
// the total is 0xFFFFFFFF and the written field is per mille, as the family does.
void SetProgressSizes(uint64_t total, uint64_t written, ExtractingInfo* info);

// Returns false to cancel. `info` is null for kExtractEnd.
using ExtractCallback = std::function<bool(int state, const ExtractingInfo* info)>;

// Member path checks, on the UTF-16 path with "\" separators. A safe path is relative, has no
// drive letter, no ":" anywhere, no empty, "." or ".." component (nor one of dots and spaces
// only), no control character or "<>\"|?*", and no component that Windows maps to a device
// (CON, NUL...). Characters outside GBK are fine: members are written through the wide API.
bool IsSafeMemberName(std::u16string_view path);
// The same check on a GBK path.
bool IsSafeMemberPath(std::string_view path);

// The member path with "\" separators (the archive may store "/"), every character kept.
std::u16string MemberPathWide(const std::u16string& name);
// The member path in GBK with "\" separators, for masks and the progress record: a character
// GBK lacks becomes "?", never a look-alike letter ("â" is no "a").
std::string MemberPathText(const std::u16string& name);
// A name for messages, in GBK: a character GBK lacks is shown as its code ("Stra<U+00DF>e.txt").
std::string ShownName(std::u16string_view name);

// The form in which Windows compares names: letters folded to upper case (ASCII, Latin, Greek,
// Cyrillic, full-width) and trailing dots and blanks dropped from every part. Two different
// names with one key are one file on Windows.
std::u16string WindowsNameKey(std::u16string_view path);

// Runs the parsed command. `callback` may be empty. `message` (optional) gets a short text.
// Existing files are overwritten with or without -y (there is nobody to ask). A selected member
// with an unsafe or invalid name, or two selected members that Windows would take for one file,
// fail the whole call before anything is written; a file whose data fails its CRC, or that is
// cut short by an error or a cancel, is removed again.
int RunExtraction(const SevenZipCommand& command, const ExtractCallback& callback,
                  std::string* message);

// Parses and runs a command line: the body of the SevenZip entry.
int RunSevenZip(std::string_view line, const ParseOptions& options,
                const ExtractCallback& callback, std::string* message);

}  // namespace sz
