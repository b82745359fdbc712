// Our own profile-string reader and writer over GBK bytes (see profile.h for the rules).
#include "runtime/profile.h"

#include "runtime/files.h"

namespace {

// The blanks stripped around names and values in the file.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\r'; }

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Names passed by the caller lose their spaces only (a tab stays part of the name).
std::string_view TrimArgument(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

// First ']' of the line that is a character of its own (not a GBK trail byte), or the line's end.
size_t ClosingBracket(std::string_view line) {
  for (size_t i = 0; i < line.size();) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (IsLeadByte(c) && i + 1 < line.size()) {
      i += 2;
      continue;
    }
    if (c == ']') return i;
    ++i;
  }
  return line.size();
}

// The value as a read returns it: surrounding quotes dropped, cut at a NUL byte (the result is a
// C string there) and at the buffer limit, never leaving half a double-byte character.
std::string ReadableValue(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  size_t nul = value.find('\0');
  if (nul != std::string_view::npos) value = value.substr(0, nul);
  if (value.size() > kProfileValueLimit) {
    size_t cut = 0;
    while (cut < kProfileValueLimit) {
      size_t len = IsLeadByte(static_cast<unsigned char>(value[cut])) ? 2 : 1;
      if (cut + len > kProfileValueLimit) break;
      cut += len;
    }
    value = value.substr(0, cut);
  }
  return std::string(value);
}

const char kUtf16Mark[2] = {'\xFF', '\xFE'};

bool IsUtf16Profile(std::string_view content) {
  return content.size() >= 2 && content[0] == kUtf16Mark[0] && content[1] == kUtf16Mark[1];
}

// A file that starts with the UTF-16LE byte-order mark is a Unicode profile; it is read as the
// GBK text it converts to, and written back in UTF-16LE.
std::string Utf16ProfileToGbk(std::string_view content) {
  std::u16string wide((content.size() - 2) / 2, u'\0');
  for (size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(content[2 + 2 * i]) |
                                    (static_cast<unsigned char>(content[3 + 2 * i]) << 8));
  }
  return Utf16ToGbk(wide);
}

Bytes GbkToUtf16Profile(std::string_view gbk) {
  std::u16string wide = GbkToUtf16(gbk);
  Bytes out(kUtf16Mark, 2);
  out.reserve(2 + wide.size() * 2);
  for (char16_t c : wide) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

}  // namespace

ProfileText::ProfileText(std::string_view content) {
  if (IsUtf16Profile(content)) {
    converted_ = Utf16ProfileToGbk(content);
    content = converted_;
  }
  Section* current = nullptr;  // keys before the first section belong to none
  size_t pos = 0;
  while (pos < content.size()) {
    size_t nl = content.find('\n', pos);
    size_t next = nl == std::string_view::npos ? content.size() : nl + 1;
    size_t end = nl == std::string_view::npos ? content.size() : nl;
    if (end > pos && content[end - 1] == '\r') --end;
    std::string_view raw = content.substr(pos, end - pos);
    std::string_view line = TrimBlanks(raw);
    size_t line_offset = pos + static_cast<size_t>(line.data() - raw.data());
    if (!line.empty() && line[0] == '[') {
      // The name ends at the first ']', or at the line's end when the bracket is missing.
      std::string_view inner = line.substr(1);
      sections_.emplace_back();
      current = &sections_.back();
      current->name = std::string(TrimBlanks(inner.substr(0, ClosingBracket(inner))));
      current->last_line_end = end;
      current->last_line_next = next;
      pos = next;
      continue;
    }
    // A line starting with ';' is a comment, never a key.
    if (!line.empty() && line[0] != ';' && current != nullptr) {
      Entry entry;
      entry.line_begin = pos;
      entry.content_end = end;
      size_t eq = line.find('=');  // '=' is never a trail byte
      if (eq == std::string_view::npos) {
        entry.key = std::string(line);
      } else {
        entry.key = std::string(TrimBlanks(line.substr(0, eq)));
        entry.value = std::string(TrimBlanks(line.substr(eq + 1)));
        entry.equals = line_offset + eq;
      }
      current->entries.push_back(std::move(entry));
      current->last_line_end = end;
      current->last_line_next = next;
    }
    pos = next;
  }
}

const ProfileText::Section* ProfileText::FindSection(std::string_view section) const {
  std::string_view wanted = TrimArgument(section);
  for (const Section& s : sections_) {
    if (EqualsIgnoreAsciiCase(s.name, wanted)) return &s;
  }
  return nullptr;
}

std::string ProfileText::Get(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return std::string();
  std::string_view wanted = TrimArgument(key);
  for (const Entry& e : s->entries) {
    if (EqualsIgnoreAsciiCase(e.key, wanted)) return ReadableValue(e.value);
  }
  return std::string();
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}

std::vector<std::string> ProfileText::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const Section* s = FindSection(section);
  if (s == nullptr) return names;
  for (const Entry& e : s->entries) names.push_back(e.key);
  return names;
}

std::string ProfileValue(std::string_view content, std::string_view section, std::string_view key) {
  return ProfileText(content).Get(section, key);
}

std::vector<std::string> ProfileSectionNames(std::string_view content) {
  return ProfileText(content).SectionNames();
}

Bytes SetProfileValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value) {
  if (IsUtf16Profile(content)) {
    return GbkToUtf16Profile(SetProfileValue(Utf16ProfileToGbk(content), section, key, value));
  }
  ProfileText profile(content);
  std::string_view key_name = TrimArgument(key);
  std::string_view section_name = TrimArgument(section);
  const ProfileText::Section* s = profile.FindSection(section_name);
  Bytes out;
  out.reserve(content.size() + section_name.size() + key_name.size() + value.size() + 8);
  if (s != nullptr) {
    for (const ProfileText::Entry& e : s->entries) {
      if (!EqualsIgnoreAsciiCase(e.key, key_name)) continue;
      // Keep the line up to its '=' as the file spells it; the value and nothing else changes.
      size_t keep_to = e.equals != std::string_view::npos ? e.equals + 1 : e.content_end;
      out.append(content.substr(0, keep_to));
      if (e.equals == std::string_view::npos) out += '=';
      out.append(value);
      out.append(content.substr(e.content_end));
      return out;
    }
    // A new key goes right after the section's last line.
    out.append(content.substr(0, s->last_line_end));
    out += "\r\n";
    out.append(key_name);
    out += '=';
    out.append(value);
    if (s->last_line_next > s->last_line_end) {
      out.append(content.substr(s->last_line_end));  // the old line end follows the new line
    } else {
      out += "\r\n";
    }
    return out;
  }
  out.append(content);
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  out += '[';
  out.append(section_name);
  out += "]\r\n";
  out.append(key_name);
  out += '=';
  out.append(value);
  out += "\r\n";
  return out;
}

std::string GetProfileText(const std::string& path, std::string_view section, std::string_view key) {
  Bytes content;
  if (!ReadWholeFile(path, content)) return std::string();
  return ProfileValue(content, section, key);
}

std::vector<std::string> GetProfileSectionNames(const std::string& path) {
  Bytes content;
  if (!ReadWholeFile(path, content)) return {};
  return ProfileSectionNames(content);
}

bool WriteProfileText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value) {
  Bytes content;
  if (FileExists(path) && !ReadWholeFile(path, content)) return false;
  Bytes updated = SetProfileValue(content, section, key, value);
  if (updated == content && FileExists(path)) return true;
  return WriteWholeFile(path, updated);
}
