// Starting command lines: the script interpreter and the program runs hand their commands to a
// ProgramStarter; the install run provides the one that starts Windows processes.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

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
// Batch files are temporary files that must not outlive their runs, yet a run that is not waited
// for may still be reading its batch when the installer ends (cmd reads a batch line by line), so
// the installer cannot simply delete them at its end. The batch therefore removes itself as its
// last line (keeping the exit code of the command before it); and the installer removes a batch at
// once when a run it waited for has ended, and at its own end every batch whose run has ended or
// never started (one that left early through "exit" included).
inline constexpr std::string_view kBatchSelfRemoval = "@del \"%~f0\" & exit %ERRORLEVEL%";
// BatchText(command) and the self-removal line, each line ended by CR LF.
std::string BatchFileText(std::string_view command);
// Writes BatchFileText(command) into a new "<unique>.tmp.bat" of the temporary folder, remembers
// it (see above) and returns the command that runs it: the file's path in double quotes. Empty
// when it cannot be written.
std::string WriteBatchCommand(std::string_view command);
// True when `program` (a path without quotes) is a batch file WriteBatchCommand wrote and has not
// removed yet.
bool IsOwnBatchFile(std::string_view program);
// The run of an own batch file has ended (it was waited for, or could not start): the file goes.
void BatchRunEnded(std::string_view program);
// A run of an own batch file that is not waited for: `still_running` tells at the installer's end
// whether the file must be left to remove itself.
void BatchRunGoesOn(std::string_view program, std::function<bool()> still_running);
// The installer's end (registered with the clean-up when the first batch is written): every own
// batch file whose run has ended or never started is removed.
void RemoveEndedBatchFiles();

// The starter of the running system: Windows processes and the shell on Windows; the native build
// has no Windows programs to start and skips every command.
ProgramStarter& SystemProgramStarter();

// ---- Decisions of StartProgram, shared by both builds ----

// True when the command, with every double quote removed, begins with exactly "http://": it is
// opened with the shell's default action.
bool IsWebAddressCommand(std::string_view command);

// A command split into its program (quotes removed) and parameters: the program ends at the first
// blank after the closing quote of a quoted program path, or at the first blank of an unquoted one;
// a command without such a blank is all program.
struct ProgramAndParameters {
  std::string program;
  std::string parameters;
};
ProgramAndParameters SplitProgramAndParameters(std::string_view command);

// True when the program path names a drive ("C:..."): it is opened through the shell. Other
// commands (cmd, regedit, a bare name) run as command lines.
bool HasDriveLetter(std::string_view program);

// The application a command line without a drive runs, named by its full path so that Windows
// never looks in the installer's own folder first (a "cmd.exe" planted beside a downloaded
// installer must not run): a bare name is looked up in `folders` in order (the system folder, the
// Windows folder, then the absolute folders of the search path), as given and, without an
// extension, with ".exe" and ".com"; a UNC path stays as it is. Empty when nothing is found or the
// program is a relative path with a folder: the command is then not started.
std::string ResolveApplication(std::string_view program, const std::vector<std::string>& folders,
                               const std::function<bool(const std::string&)>& file_exists);
