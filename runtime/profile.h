// Profile strings ("data.ini", "variable.ini", "uninst.ini") read and written on raw GBK bytes with
// the behaviour of the Windows profile-string functions on a code-page-936 system, so that the
// texts mean the same whatever code page the machine runs with.
//
// Reading: a section header runs from '[' to the first ']' (or the line's end); lines starting with
// ';' are comments. Section and key names match ASCII-case-insensitively, with blanks (space, tab,
// vertical tab) trimmed in the file and spaces trimmed from the names asked for; the first
// matching section is the only one searched and its first matching key wins. Blanks around a value
// are dropped, then one pair of matching surrounding quotes ('…' or "…"); the value is cut to
// 10,239 bytes (never inside a double-byte character) as a 10,240-byte buffer would cut it. A
// missing file, section or key gives the empty text.
// A profile that starts with the UTF-16LE byte-order mark is read as its GBK conversion and written
// back in UTF-16LE, as Windows does with Unicode profiles.
// Writing: the rest of the file is kept byte for byte; a changed key keeps its line, a new key goes
// after the last line of its section, a new section (and file) is added at the end, CR LF line ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"

// Longest value a read returns (the buffer of 10,240 bytes less its terminator).
constexpr size_t kProfileValueLimit = 10239;

// A parsed profile text, for readers that look up many keys of one file.
class ProfileText {
 public:
  explicit ProfileText(std::string_view content);
  std::string Get(std::string_view section, std::string_view key) const;
  // Section names in file order (duplicates included, as the file has them).
  std::vector<std::string> SectionNames() const;
  // Key names of the first matching section, in file order.
  std::vector<std::string> KeyNames(std::string_view section) const;

  struct Entry {
    std::string key;
    std::string value;      // blanks trimmed, quotes not yet removed
    size_t line_begin = 0;  // offset of the line's first byte
    size_t content_end = 0;  // offset of the line's end (before CR / LF)
    size_t equals = std::string_view::npos;  // offset of '=' or npos
  };
  struct Section {
    std::string name;
    size_t last_line_end = 0;   // end of the content of the section's last non-blank line
    size_t last_line_next = 0;  // start of the line after it (content size at the end)
    std::vector<Entry> entries;
  };
  const Section* FindSection(std::string_view section) const;

 private:
  std::string converted_;  // the GBK form of a UTF-16LE profile
  std::vector<Section> sections_;
};

// One-shot forms over bytes in memory.
std::string ProfileValue(std::string_view content, std::string_view section, std::string_view key);
std::vector<std::string> ProfileSectionNames(std::string_view content);
// The content with `key` of `section` set to `value` (added where missing).
Bytes SetProfileValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value);

// File forms. A file that cannot be read reads as empty; writing creates the file when missing
// (its folder must exist) and is false when the file cannot be written.
std::string GetProfileText(const std::string& path, std::string_view section, std::string_view key);
std::vector<std::string> GetProfileSectionNames(const std::string& path);
bool WriteProfileText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value);
