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

namespace {

bool StartsArgument(std::string_view text, size_t i) {
  return i == 0 || static_cast<unsigned char>(text[i - 1]) <= ' ';
}

bool StartsWithLowered(std::string_view text, std::string_view lowered) {
  return text.size() >= lowered.size() && AsciiLower(text.substr(0, lowered.size())) == lowered;
}

// The argument quoted whole that opens at `open`, read as Windows programs read their arguments:
// backslashes before a quote are halved and an odd one makes the quote part of the text
// ("/D=\"C:\Program Files\A\"" is how a value with its own quotes comes); the first other quote
// closes it. `end`: just past the closing quote, or the text's end.
std::string QuotedArgument(std::string_view text, size_t open, size_t* end) {
  std::string out;
  size_t i = open + 1;
  const size_t n = text.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (TakesTrailByte(c) && i + 1 < n) {  // a trail byte may be a backslash
      out.append(text.substr(i, 2));
      i += 2;
    } else if (c == '\\') {
      size_t k = 0;
      while (i + k < n && text[i + k] == '\\') ++k;
      if (i + k < n && text[i + k] == '"') {
        out.append(k / 2, '\\');
        i += k;
        if (k % 2 == 0) break;  // the closing quote
        out.push_back('"');
        ++i;
      } else {
        out.append(k, '\\');
        i += k;
      }
    } else if (c == '"') {
      break;
    } else {
      out.push_back(static_cast<char>(c));
      ++i;
    }
  }
  *end = i < n ? i + 1 : n;
  return out;
}

// Where the log switch starts: the first "/LOG=" (letters in any case) that begins an argument,
// outside every double-quoted stretch (a quoted value such as /D="C:\x /LOG=y" holds no switch;
// an unclosed quote runs to the end). npos when there is none.
size_t FindLogSwitch(std::string_view text, std::string_view lowered_switch) {
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"') {
      // A switch quoted whole ("/LOG=C:\my logs\i.log"), as programs that quote every argument
      // with a space pass it, starts at its quote.
      if (!quoted && StartsArgument(text, i) && StartsWithLowered(text.substr(i + 1), lowered_switch)) {
        return i;
      }
      quoted = !quoted;
      continue;
    }
    if (TakesTrailByte(c)) {
      ++i;  // a double-byte character never starts the switch
      continue;
    }
    if (quoted || !StartsArgument(text, i)) continue;
    if (StartsWithLowered(text.substr(i), lowered_switch)) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string TakeLogSwitch(std::string& text) {
  static constexpr std::string_view kSwitch = "/log=";
  const size_t at = FindLogSwitch(text, kSwitch);
  if (at == std::string::npos) return std::string();
  size_t begin = at + kSwitch.size();
  size_t end;
  std::string path;
  if (text[at] == '"') {
    path = ReplaceAll(QuotedArgument(text, at, &end).substr(kSwitch.size()), "\"", "");
  } else if (begin < text.size() && text[begin] == '"') {
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

namespace {

// Where the path switch and its value stand in the argument text: [begin, end); begin is npos
// when the switch is absent. A value with a double quote runs to the last double quote of the
// text, an unquoted one to the first space.
// A switch quoted whole ("/D=C:\Program Files\A", as programs that quote every argument with a
// space pass it) begins at its quote and ends at its closing quote.
std::pair<size_t, size_t> PathSwitchSpan(std::string_view text, std::string_view path_switch) {
  if (path_switch.empty()) return {std::string_view::npos, std::string_view::npos};
  const size_t at = FindText(text, path_switch);
  if (at == std::string_view::npos) return {at, at};
  const size_t value = at + path_switch.size();
  if (at > 0 && text[at - 1] == '"' && StartsArgument(text, at - 1)) {
    size_t end = 0;
    QuotedArgument(text, at - 1, &end);
    return {at - 1, end};
  }
  const size_t last_quote = text.rfind('"');
  if (last_quote != std::string_view::npos && last_quote >= value) return {at, last_quote + 1};
  const size_t space = text.find(' ', value);
  return {at, space == std::string_view::npos ? text.size() : space};
}

}  // namespace

std::string PathSwitchValue(std::string_view text, std::string_view path_switch) {
  const auto [at, end] = PathSwitchSpan(text, path_switch);
  if (at == std::string_view::npos) return std::string();
  if (text[at] == '"' && text.substr(at + 1, path_switch.size()) == path_switch) {
    // Quotes of the value's own (/D="C:\x y" quoted whole once more) are dropped, as below.
    size_t ignored = 0;
    return ReplaceAll(QuotedArgument(text, at, &ignored).substr(path_switch.size()), "\"", "");
  }
  std::string_view rest = text.substr(at + path_switch.size(), end - at - path_switch.size());
  if (rest.find('"') != std::string_view::npos) {
    // A quoted folder: from after the opening quote to the last quote, stray quotes dropped.
    std::string_view inner = rest.size() >= 2 ? rest.substr(1, rest.size() - 2) : std::string_view();
    return ReplaceAll(inner, "\"", "");
  }
  return std::string(rest);
}

SwitchDecision DecideSwitches(std::string_view text, const SwitchSettings& s) {
  SwitchDecision d;
  d.install_dir_override = PathSwitchValue(text, s.path);
  const std::string direct = s.direct.empty() ? kDefaultDirectSwitch : s.direct;
  const std::string hide_end = s.hide_end.empty() ? kDefaultHideEndSwitch : s.hide_end;
  const std::string hidden = s.hidden.empty() ? kDefaultHiddenSwitch : s.hidden;
  // Switches are whole arguments, never a piece of another argument or of the path switch's
  // value ("/D=D:\my-hp" is no background install).
  std::string rest(text);
  const auto [at, end] = PathSwitchSpan(text, s.path);
  if (at != std::string_view::npos) rest.replace(at, end - at, " ");
  bool is_direct = false, is_hidden = false;
  for (const std::string& argument : SplitArgumentText(rest)) {
    is_direct = is_direct || argument == direct;
    is_hidden = is_hidden || argument == hidden;
    if (argument == hide_end) d.show_finish_page = -1;
  }
  if (is_direct) d.install_mode = kInstallModeDirect;
  if (is_hidden) d.install_mode = kInstallModeBackground;
  return d;
}

StartupBranch DecideStartupBranch(int run_mode, size_t argument_count) {
  if (run_mode == kRunModeUninstaller) {
    return argument_count == 1 ? StartupBranch::kPlainWizard : StartupBranch::kUninstallWizard;
  }
  return run_mode == kRunModeInstaller ? StartupBranch::kInstallerSetup
                                       : StartupBranch::kPlainWizard;
}
