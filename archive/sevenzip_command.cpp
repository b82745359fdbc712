// Parsing of the SevenZip command line and the member masks. Everything works on GBK bytes: a
// lead byte always takes its trail byte along, so a trail byte 0x5C is never taken for "\".
#include "archive/sevenzip_command.h"

#include <cstdint>

#include "runtime/text.h"

namespace sz {
namespace {

struct Token {
  std::string text;          // quotes removed
  bool starts_quoted = false;  // the first byte was inside double quotes: never a switch
};

bool SplitTokens(std::string_view line, std::vector<Token>* tokens, std::string* error) {
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && static_cast<unsigned char>(line[i]) <= ' ') ++i;
    if (i >= n) break;
    Token token;
    token.starts_quoted = line[i] == '"';
    bool in_quote = false;
    while (i < n) {
      unsigned char c = static_cast<unsigned char>(line[i]);
      if (c == '"') {
        in_quote = !in_quote;
        ++i;
        continue;
      }
      if (!in_quote && c <= ' ') break;
      if (IsLeadByte(c) && i + 1 < n) {
        token.text.append(line.substr(i, 2));
        i += 2;
        continue;
      }
      token.text.push_back(static_cast<char>(c));
      ++i;
    }
    if (in_quote) {
      *error = "unbalanced double quote";
      return false;
    }
    tokens->push_back(std::move(token));
  }
  return true;
}

// True when the last character (not a trail byte) is "\".
bool EndsWithBackslash(std::string_view text) {
  bool last_is_backslash = false;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      ++i;
      last_is_backslash = false;
    } else {
      last_is_backslash = c == '\\';
    }
  }
  return last_is_backslash;
}

bool SwitchIs(std::string_view body, std::string_view name) {
  if (body.size() != name.size()) return false;
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != name[i]) return false;
  }
  return true;
}

// The switch name prefix, compared without case; returns the rest (its value) through `value`.
bool SwitchStarts(std::string_view body, std::string_view prefix, std::string_view* value) {
  if (body.size() < prefix.size()) return false;
  if (!SwitchIs(body.substr(0, prefix.size()), prefix)) return false;
  *value = body.substr(prefix.size());
  return true;
}

bool ApplySwitch(std::string_view body, SevenZipCommand* command, std::string* error) {
  std::string_view value;
  if (SwitchIs(body, "hide")) {
    command->hide = true;
  } else if (SwitchIs(body, "y") || SwitchIs(body, "aoa")) {
    command->yes = true;
  } else if (SwitchIs(body, "r")) {
    // Masks without a folder part already match at every depth.
  } else if (SwitchStarts(body, "xr!", &value) || SwitchStarts(body, "x!", &value)) {
    if (!value.empty()) command->excludes.emplace_back(value);
  } else if (SwitchStarts(body, "ir!", &value) || SwitchStarts(body, "i!", &value)) {
    if (!value.empty()) command->includes.emplace_back(value);
  } else if (SwitchStarts(body, "p", &value)) {
    command->has_password = true;
    command->password.assign(value);
  } else if (SwitchStarts(body, "o", &value)) {
    if (value.empty()) {
      *error = "-o without a folder";
      return false;
    }
    command->output.assign(value);
  } else {
    *error = "unknown switch -" + std::string(body);
    return false;
  }
  return true;
}

// One character of a GBK text as a number, ASCII letters folded to lower case.
std::vector<uint16_t> Characters(std::string_view text) {
  std::vector<uint16_t> out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out.push_back(static_cast<uint16_t>(c << 8 | static_cast<unsigned char>(text[i + 1])));
      ++i;
    } else {
      if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
      out.push_back(c);
    }
  }
  return out;
}

// "*" any run of characters, "?" exactly one; the last "*" is retried on a mismatch, which is
// enough for a linear-time match of these two wildcards.
bool WildcardMatches(const std::vector<uint16_t>& mask, const std::vector<uint16_t>& name) {
  size_t m = 0, s = 0;
  size_t star = SIZE_MAX, star_s = 0;
  while (s < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && mask[m] == name[s]))) {
      ++m;
      ++s;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      star_s = s;
    } else if (star != SIZE_MAX) {
      m = star + 1;
      s = ++star_s;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// Splits at "\" and "/" (never on a trail byte); empty and "." parts are dropped.
std::vector<std::vector<uint16_t>> PathParts(std::string_view path) {
  std::vector<std::vector<uint16_t>> parts;
  std::vector<uint16_t> all = Characters(path);
  std::vector<uint16_t> part;
  for (size_t i = 0; i <= all.size(); ++i) {
    if (i == all.size() || all[i] == '\\' || all[i] == '/') {
      if (!part.empty() && !(part.size() == 1 && part[0] == '.')) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(all[i]);
    }
  }
  return parts;
}

}  // namespace

bool ParseSevenZipCommand(std::string_view line, const ParseOptions& options,
                          SevenZipCommand* command, std::string* error) {
  *command = SevenZipCommand();
  std::string ignored;
  if (!error) error = &ignored;
  std::vector<Token> tokens;
  if (!SplitTokens(line, &tokens, error)) return false;

  bool have_command = false, have_archive = false, have_output = false;
  for (const Token& token : tokens) {
    const std::string& t = token.text;
    bool is_switch = !token.starts_quoted && t.size() > 1 &&
                     (t[0] == '-' || (options.slash_starts_switch && t[0] == '/'));
    if (is_switch) {
      if (!ApplySwitch(std::string_view(t).substr(1), command, error)) return false;
      if (!command->output.empty()) have_output = true;
      continue;
    }
    if (!have_command) {
      if (SwitchIs(t, "x")) {
        command->flat = false;
      } else if (SwitchIs(t, "e")) {
        command->flat = true;
      } else {
        *error = "unknown command " + t;
        return false;
      }
      have_command = true;
    } else if (!have_archive) {
      if (t.empty()) {
        *error = "empty archive name";
        return false;
      }
      command->archive = t;
      have_archive = true;
    } else if (!have_output && (EndsWithBackslash(t) || (!options.slash_starts_switch &&
                                                         !t.empty() && t.back() == '/'))) {
      command->output = t;
      have_output = true;
    } else if (!t.empty()) {
      command->includes.push_back(t);
    }
  }
  if (!have_command) {
    *error = "no command";
    return false;
  }
  if (!have_archive) {
    *error = "no archive name";
    return false;
  }
  return true;
}

bool MaskMatchesPath(std::string_view mask, std::string_view member_path) {
  std::vector<std::vector<uint16_t>> mask_parts = PathParts(mask);
  std::vector<std::vector<uint16_t>> path_parts = PathParts(member_path);
  if (mask_parts.empty() || path_parts.empty()) return false;
  if (mask_parts.size() == 1) {
    // A name alone: any component may match; a matching folder brings its content along.
    for (const auto& part : path_parts) {
      if (WildcardMatches(mask_parts[0], part)) return true;
    }
    return false;
  }
  if (path_parts.size() < mask_parts.size()) return false;
  for (size_t i = 0; i < mask_parts.size(); ++i) {
    if (!WildcardMatches(mask_parts[i], path_parts[i])) return false;
  }
  return true;
}

bool IsPathSelected(const SevenZipCommand& command, std::string_view member_path) {
  bool included = command.includes.empty();
  for (const std::string& mask : command.includes) {
    if (MaskMatchesPath(mask, member_path)) {
      included = true;
      break;
    }
  }
  if (!included) return false;
  for (const std::string& mask : command.excludes) {
    if (MaskMatchesPath(mask, member_path)) return false;
  }
  return true;
}

}  // namespace sz
