// Command-line splitting and the start-up switches (see command_line.h).
#include "package/command_line.h"

#include "package/startup.h"
#include "runtime/text.h"

namespace {

// Offset just after the program path: a quoted path ends at its closing quote (and one space
// after it), an unquoted one at the first space. npos when nothing follows the program path.
size_t AfterProgramPath(std::string_view line) {
  if (!line.empty() && line[0] == '"') {
    size_t close = line.find('"', 1);
    if (close == std::string_view::npos) return std::string_view::npos;
    size_t next = close + 1;
    if (next < line.size() && line[next] == ' ') ++next;
    return next;
  }
  size_t space = line.find(' ');
  return space == std::string_view::npos ? std::string_view::npos : space + 1;
}

bool IsSeparator(unsigned char c) { return c < '!'; }
bool TakesTrailByte(unsigned char c) { return c >= 0x80; }

}  // namespace

std::vector<std::string> SplitArguments(std::string_view line) {
  const size_t at = AfterProgramPath(line);
  if (at == std::string_view::npos) return std::vector<std::string>();
  return SplitArgumentText(line.substr(at));
}

std::vector<std::string> SplitArgumentText(std::string_view line) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (IsSeparator(c)) {
      ++i;
      continue;
    }
    std::string arg;
    if (c == '"') {
      ++i;
      while (i < n && line[i] != '"') {
        if (TakesTrailByte(static_cast<unsigned char>(line[i])) && i + 1 < n) arg.push_back(line[i++]);
        arg.push_back(line[i++]);
      }
      if (i < n) ++i;  // the closing quote
    } else {
      while (i < n) {
        unsigned char b = static_cast<unsigned char>(line[i]);
        if (IsSeparator(b) || b == '"') break;
        if (TakesTrailByte(b) && i + 1 < n) arg.push_back(line[i++]);
        arg.push_back(line[i++]);
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string ArgumentText(std::string_view line) {
  size_t at = AfterProgramPath(line);
  if (at == std::string_view::npos || at >= line.size()) return std::string();
  return TrimSpaces(line.substr(at));
}

std::string TakeLogSwitch(std::string& text) {
  static constexpr std::string_view kSwitch = "/log=";
  // Lower-casing ASCII letters keeps every byte in place, so positions carry over to `text`.
  const std::string lowered = AsciiLower(text);
  size_t at = FindText(lowered, kSwitch);
  while (at != std::string::npos && at > 0 && static_cast<unsigned char>(text[at - 1]) > ' ') {
    at = FindText(lowered, kSwitch, at + 1);
  }
  if (at == std::string::npos) return std::string();
  size_t begin = at + kSwitch.size();
  size_t end;
  std::string path;
  if (begin < text.size() && text[begin] == '"') {
    const size_t close = text.find('"', begin + 1);
    end = close == std::string::npos ? text.size() : close + 1;
    path = text.substr(begin + 1, (close == std::string::npos ? text.size() : close) - begin - 1);
  } else {
    const size_t space = text.find(' ', begin);
    end = space == std::string::npos ? text.size() : space;
    path = text.substr(begin, end - begin);
  }
  const std::string before = TrimTrailingSpaces(std::string_view(text).substr(0, at));
  const std::string after = TrimLeadingSpaces(std::string_view(text).substr(end));
  text = TrimSpaces(before + (before.empty() || after.empty() ? "" : " ") + after);
  return path;
}

bool IsTestMode(const std::vector<std::string>& arguments) {
  return !arguments.empty() && arguments[0] == "test";
}

std::string PathSwitchValue(std::string_view text, std::string_view path_switch) {
  if (path_switch.empty()) return std::string();
  size_t at = FindText(text, path_switch);
  if (at == std::string_view::npos) return std::string();
  std::string_view rest = text.substr(at + path_switch.size());
  size_t last_quote = rest.rfind('"');
  if (last_quote != std::string_view::npos) {
    // A quoted folder: from after the opening quote to the last quote, stray quotes dropped.
    std::string_view inner = last_quote >= 1 ? rest.substr(1, last_quote - 1) : std::string_view();
    return ReplaceAll(inner, "\"", "");
  }
  size_t space = rest.find(' ');
  return std::string(space == std::string_view::npos ? rest : rest.substr(0, space));
}

SwitchDecision DecideSwitches(std::string_view text, const SwitchSettings& s) {
  SwitchDecision d;
  d.install_dir_override = PathSwitchValue(text, s.path);
  const std::string direct = s.direct.empty() ? "-jp" : s.direct;
  const std::string hide_end = s.hide_end.empty() ? "-hideend" : s.hide_end;
  const std::string hidden = s.hidden.empty() ? "-hp" : s.hidden;
  if (ContainsText(text, direct)) d.install_mode = kInstallModeDirect;
  if (ContainsText(text, hidden)) d.install_mode = kInstallModeBackground;
  if (ContainsText(text, hide_end)) d.show_finish_page = -1;
  return d;
}

StartupBranch DecideStartupBranch(int run_mode, size_t argument_count) {
  if (run_mode == kRunModeUninstaller) {
    return argument_count == 1 ? StartupBranch::kPlainWizard : StartupBranch::kUninstallWizard;
  }
  return run_mode == kRunModeInstaller ? StartupBranch::kInstallerSetup
                                       : StartupBranch::kPlainWizard;
}
