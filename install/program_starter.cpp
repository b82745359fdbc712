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
