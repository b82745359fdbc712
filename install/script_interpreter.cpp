// The component script's line interpreter.
#include "install/script_interpreter.h"

#include "install/install_config.h"
#include "install/script_store.h"
#include "runtime/text.h"

namespace {


void AppendMembers(std::string& list, const std::string& members) {
  if (!list.empty()) list += ',';
  list += members;
}

// Sets the shortcut mark of the component's item when the line carries a marker; true when it
// did (the rest of the line is then not interpreted).
bool TakeMarker(std::string_view line, std::string_view component, ComponentTree* tree) {
  static constexpr std::pair<std::string_view, int> kMarkers[] = {
      {"setdesktop()", kMarkDesktop},
      {"setstartmenu()", kMarkStartMenu},
      {"setquicklaunch()", kMarkQuickLaunch},
  };
  for (const auto& [marker, mark] : kMarkers) {
    if (!ContainsText(line, marker)) continue;
    if (tree) tree->SetMark(tree->Find(component), mark);
    return true;
  }
  return false;
}

void RunCommandLine(const std::string& command, ScriptContext& context) {
  // A blank line (every body starts with one) is no command line.
  if (TrimWhitespace(command).empty() || !context.starter) return;
  std::string line = ReplaceAll(command, kInstallPathToken, context.install_dir);
  if (ContainsText(line, kBatchLineBreak)) {
    line = WriteBatchCommand(line);
    if (line.empty()) return;
  }
  context.starter->StartProgram(line, true, true);
}

}  // namespace

ScriptLists& CurrentScriptLists() {
  static ScriptLists lists;
  return lists;
}

ScriptLine ParseScriptLine(std::string_view line) {
  ScriptLine p;
  p.chosen = line.size() >= 3 && line.substr(1, 2) == "真";
  const size_t close = FindText(line, "]");
  p.command = std::string(close == std::string_view::npos ? line : line.substr(close + 1));
  const size_t open = FindText(p.command, "(");
  if (open == std::string::npos) return p;
  p.has_paren = true;
  p.name = p.command.substr(0, open);
  const size_t end = FindText(p.command, ")", open + 1);
  p.argument = end == std::string::npos ? p.command.substr(open + 1)
                                        : p.command.substr(open + 1, end - open - 1);
  return p;
}

void RunScriptSection(std::string_view section, std::string_view component, int mode,
                      ScriptContext& context) {
  const bool install = mode == kScriptInstall;
  for (const std::string& line : SplitText(section, "\r\n")) {
    if (install && TakeMarker(line, component, context.tree)) continue;
    const ScriptLine p = ParseScriptLine(line);
    bool runs;
    if (install) {
      const int state = context.tree ? context.tree->CheckStateOf(component) : -1;
      runs = (p.chosen && state == 1) || (!p.chosen && state == 0);
    } else {
      runs = (p.chosen && mode == kScriptUninstallTicked) ||
             (!p.chosen && mode == kScriptUninstallUnticked);
    }
    if (!runs) continue;
    if (!p.has_paren) {
      RunCommandLine(p.command, context);
    } else if (p.name == "removedump") {
      if (context.lists) context.lists->remove_dump = SplitText(p.argument, ",");
    } else if (install && p.name == "assignzip") {
      if (context.lists) AppendMembers(context.lists->include, p.argument);
    } else if (install && p.name == "removezip") {
      if (context.lists) AppendMembers(context.lists->exclude, p.argument);
    }
  }
}

void RunTreeSections(std::string_view store, std::string_view section, ScriptContext& context) {
  if (!context.tree) return;
  for (size_t i = 0; i < context.tree->Size(); ++i) {
    const std::string name = context.tree->At(static_cast<int>(i))->text;
    const ScriptLookup lookup = LookUpScript(store, name, section);
    if (lookup.found) RunScriptSection(lookup.text, name, kScriptInstall, context);
  }
}
