// The line interpreter of the component script: runs one section of one component's block, in
// the install (by the component's check state) or in the uninstaller (by the option's tick).
//
// A line is "[真]command" (runs when chosen) or "[假]command" (runs when not chosen); only the
// two bytes after the first are tested, and the command is the text after the first "]".
// Commands: setdesktop() / setstartmenu() / setquicklaunch() (anywhere in a line, whatever the
// condition), assignzip(a,b), removezip(a,b), removedump(a,b), and a plain command line (a
// command without "("), started hidden, waiting for it to end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "install/component_tree.h"
#include "install/program_starter.h"

// Archive members the main extraction takes (empty: everything), comma-separated.
using IncludeList = std::string;
// Archive members the main extraction leaves out, comma-separated.
using ExcludeList = std::string;
// Install-relative paths the uninstaller does not delete.
using RemoveDumpList = std::vector<std::string>;

struct ScriptLists {
  IncludeList include;
  ExcludeList exclude;
  RemoveDumpList remove_dump;
};

// One line of a section, taken apart.
struct ScriptLine {
  bool chosen = false;    // the condition is "真": the line is for a chosen component
  std::string command;    // the text after the first "]" (the whole line when it has none)
  bool has_paren = false;
  std::string name;       // the command's text before its first "("
  std::string argument;   // between that "(" and the next ")" (or the end)
};
ScriptLine ParseScriptLine(std::string_view line);

// The lists of the running process: filled by the "Install" sections when the install starts
// (and by the uninstaller's option programs), read by the extraction and the file removal.
ScriptLists& CurrentScriptLists();

// Install mode runs a line by the component's check state; the uninstall modes run the "[真]"
// lines (ticked option) or the others (unticked), and only "removedump" and command lines act.
enum ScriptMode : int {
  kScriptInstall = 0,
  kScriptUninstallTicked = 1,
  kScriptUninstallUnticked = -1,
};

struct ScriptContext {
  ComponentTree* tree = nullptr;    // install mode: check states and shortcut marks
  ScriptLists* lists = nullptr;
  std::string install_dir;          // replaces "%InstallPath%" in command lines
  ProgramStarter* starter = nullptr;
};

// Runs the lines of `section` (split at CR LF) for `component`.
void RunScriptSection(std::string_view section, std::string_view component, int mode,
                      ScriptContext& context);

// Runs section `section` of every tree item's block, in tree order, with the item's text as the
// component name (items without a block run nothing).
void RunTreeSections(std::string_view store, std::string_view section, ScriptContext& context);
