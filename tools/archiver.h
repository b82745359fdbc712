// Making 7z archives with the real 7-Zip program ("7zz"), run as a child process.
#pragma once

#include <string>
#include <vector>

// Runs the program (searched in PATH when the name has no "/") with the arguments, in folder
// `cwd` (empty: the current one). Its output is collected into `output` when given. Returns the
// exit code, or -1 when it could not be started or was killed.
int RunProgram(const std::vector<std::string>& args, const std::string& cwd, std::string* output);

struct ArchiveRequest {
  std::string sevenzip = "7zz";
  std::string archive;                // path of the archive to create (replaced)
  std::string folder;                 // the archive holds this folder's content
  std::vector<std::string> members;   // names inside `folder`; empty: everything in it
  std::vector<std::string> options;   // further 7zz switches ("-mx=9", "-mhe=on", "-v1m")
  std::string password;               // empty: no encryption
};

// Creates the archive; false with a message in `error` when 7zz fails. With a "-v" option the
// volumes are named archive + ".001", ".002", ...
bool MakeArchive(const ArchiveRequest& request, std::string& error);
