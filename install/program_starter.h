// Starting command lines: the script interpreter and the program runs hand their commands to a
// ProgramStarter; the install run provides the one that starts Windows processes.
#pragma once

#include <string>
#include <string_view>

class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // Starts `command`; waits for it to end when `wait`, with its window hidden when `hidden`.
  // Whether it could be started is not reported: a failing start is skipped.
  virtual void StartProgram(const std::string& command, bool wait, bool hidden) = 0;
};

// Commands holding "%ET%" are run as batch files: every "%ET%" becomes a line break (CR LF) and
// the first "cmd /c " (any letter case) is dropped, as the batch runs in a command shell anyway.
inline constexpr std::string_view kBatchLineBreak = "%ET%";
std::string BatchText(std::string_view command);
// Writes BatchText(command) into a new "<unique>.tmp.bat" of the temporary folder and returns the
// command that runs it: the file's path in double quotes. Empty when it cannot be written.
std::string WriteBatchCommand(std::string_view command);
