// The batch form of command lines that hold "%ET%".
#include "install/program_starter.h"

#include "environment/system.h"
#include "runtime/files.h"
#include "runtime/text.h"

std::string BatchText(std::string_view command) {
  std::string text = ReplaceAll(command, kBatchLineBreak, "\r\n");
  // Lowering ASCII letters keeps every byte where it was, so the position found is the original's.
  const size_t shell = FindText(AsciiLower(text), "cmd /c ");
  if (shell != std::string::npos) text.erase(shell, 7);
  return text;
}

std::string WriteBatchCommand(std::string_view command) {
  const std::string path = UniqueTempName() + ".bat";
  if (!WriteWholeFile(path, BatchText(command))) return std::string();
  return "\"" + path + "\"";
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
