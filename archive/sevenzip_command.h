// The command line of the SevenZip entry: parsing the GBK text the callers build ("x  \"a.7z\"
// -hide -y \"C:\dir\\\" \"*\" -p\"\"") and the member masks that select what is extracted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sz {

struct SevenZipCommand {
  bool flat = false;                  // e: no folder names; x: with them
  std::string archive;                // GBK path of the archive
  std::string output;                 // base folder, GBK; empty means the current folder
  std::vector<std::string> includes;  // masks; none given means everything
  std::vector<std::string> excludes;  // -x! masks
  bool hide = false;                  // no window of our own is ever shown; kept for callers
  bool yes = false;                   // existing files are overwritten either way
  bool has_password = false;
  std::string password;               // GBK
};

struct ParseOptions {
  // The archiver-library family takes "/" for "-". The native command turns that off, because
  // its paths begin with "/".
  bool slash_starts_switch = true;
};

// Parses the command line. False (and `error` set) for anything not understood: an unknown
// command or switch, a missing archive name, an unbalanced double quote.
bool ParseSevenZipCommand(std::string_view line, const ParseOptions& options,
                          SevenZipCommand* command, std::string* error);

// True when the mask (GBK, "*" and "?" wildcards, "\" or "/" separators) selects the member path
// (GBK, "\" separators). A mask without a folder part matches a name at any depth; a mask with
// one is matched from the root. A mask that matches a folder selects everything beneath it.
// Letters compare case-insensitively (ASCII); a double-byte character counts as one for "?".
bool MaskMatchesPath(std::string_view mask, std::string_view member_path);

// The selection rule of one command: some include matches (or there are none) and no exclude does.
bool IsPathSelected(const SevenZipCommand& command, std::string_view member_path);

}  // namespace sz
