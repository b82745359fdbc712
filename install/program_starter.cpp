// The batch form of command lines that hold "%ET%".
#include "install/program_starter.h"

#include "environment/system.h"
#include "package/cleanup.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace {

// The batch files this process wrote and has not removed; `still_running` is set for a run that
// was not waited for.
struct OwnBatchFile {
  std::string path;
  std::function<bool()> still_running;
};

std::vector<OwnBatchFile>& OwnBatchFiles() {
  static std::vector<OwnBatchFile> files;
  return files;
}

OwnBatchFile* FindOwnBatchFile(std::string_view program) {
  for (OwnBatchFile& file : OwnBatchFiles()) {
    if (EqualsIgnoreAsciiCase(file.path, program)) return &file;
  }
  return nullptr;
}

// Whether RemoveEndedBatchFiles is on the clean-up list (it leaves the list when it runs).
bool cleanup_registered = false;

void Remember(const std::string& path) {
  if (!cleanup_registered) {
    RegisterCleanupAction(RemoveEndedBatchFiles);
    cleanup_registered = true;
  }
  OwnBatchFiles().push_back(OwnBatchFile{path, nullptr});
}

}  // namespace

std::string BatchText(std::string_view command) {
  std::string text = ReplaceAll(command, kBatchLineBreak, "\r\n");
  // Lowering ASCII letters keeps every byte where it was, so the position found is the original's.
  const size_t shell = FindText(AsciiLower(text), "cmd /c ");
  if (shell != std::string::npos) text.erase(shell, 7);
  return text;
}

std::string BatchFileText(std::string_view command) {
  std::string text = BatchText(command);
  if (!EndsWith(text, "\r\n")) text += "\r\n";
  return text + std::string(kBatchSelfRemoval) + "\r\n";
}

std::string WriteBatchCommand(std::string_view command) {
  const std::string path = UniqueTempName() + ".bat";
  if (!WriteWholeFile(path, BatchFileText(command))) {
    DeleteFileAt(path);  // a part may have been written
    return std::string();
  }
  Remember(path);
  return "\"" + path + "\"";
}

bool IsOwnBatchFile(std::string_view program) { return FindOwnBatchFile(program) != nullptr; }

void BatchRunEnded(std::string_view program) {
  std::vector<OwnBatchFile>& files = OwnBatchFiles();
  for (size_t i = 0; i < files.size(); ++i) {
    if (!EqualsIgnoreAsciiCase(files[i].path, program)) continue;
    if (FileExists(files[i].path)) DeleteFileAt(files[i].path);
    files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

void BatchRunGoesOn(std::string_view program, std::function<bool()> still_running) {
  if (OwnBatchFile* file = FindOwnBatchFile(program)) file->still_running = std::move(still_running);
}

void RemoveEndedBatchFiles() {
  cleanup_registered = false;
  std::vector<OwnBatchFile> files;
  files.swap(OwnBatchFiles());
  for (const OwnBatchFile& file : files) {
    // A batch still running removes itself with its last line; deleting it now would cut it off.
    if (file.still_running && file.still_running()) continue;
    if (FileExists(file.path)) DeleteFileAt(file.path);
  }
}

bool IsWebAddressCommand(std::string_view command) {
  return StartsWith(ReplaceAll(command, "\"", ""), "http://");
}

ProgramAndParameters SplitProgramAndParameters(std::string_view command) {
  auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
  size_t from = 0;
  if (!command.empty() && command[0] == '"') {
    const size_t close = command.find('"', 1);
    from = close == std::string_view::npos ? command.size() : close + 1;
  }
  size_t blank = from;
  while (blank < command.size() && !is_blank(command[blank])) ++blank;
  ProgramAndParameters split;
  split.program = ReplaceAll(command.substr(0, blank), "\"", "");
  if (blank < command.size()) split.parameters = std::string(command.substr(blank + 1));
  return split;
}

bool HasDriveLetter(std::string_view program) { return program.size() >= 2 && program[1] == ':'; }

std::string ResolveApplication(std::string_view program, const std::vector<std::string>& folders,
                               const std::function<bool(const std::string&)>& file_exists) {
  if (program.empty()) return std::string();
  if (HasDriveLetter(program) || StartsWith(program, "\\\\")) return std::string(program);
  // A relative path would be taken from the current folder: the installer's.
  if (program.find_first_of("\\/:") != std::string_view::npos) return std::string();
  const std::string name(program);
  const bool has_extension = name.find('.') != std::string::npos;
  for (const std::string& folder : folders) {
    if (folder.empty() || !(HasDriveLetter(folder) || StartsWith(folder, "\\\\"))) continue;
    const std::string base = EndsWithBackslash(folder) ? folder + name : folder + "\\" + name;
    if (has_extension && file_exists(base)) return base;
    if (has_extension) continue;
    for (const char* extension : {".exe", ".com"}) {
      if (file_exists(base + extension)) return base + extension;
    }
  }
  return std::string();
}
