// Ordered INI text used to merge the builder's keys into a publisher's data.ini.
#include "tools/ini_document.h"

namespace {

std::string TrimBlank(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
    // A double-byte character is compared whole: its trail byte may look like a letter.
    if (x >= 0x81 && x <= 0xFE && i + 1 < a.size()) {
      ++i;
      if (a[i] != b[i]) return false;
    }
  }
  return true;
}

}  // namespace

void IniDocument::Parse(const std::string& text) {
  preamble_.clear();
  sections_.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    pos = end + 1;
    std::string t = TrimBlank(raw);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      sections_.push_back(Section{TrimBlank(t.substr(1, t.size() - 2)), {}});
      continue;
    }
    Line line;
    line.raw = raw;
    size_t eq = raw.find('=');
    if (eq != std::string::npos && !t.empty() && t[0] != ';') {
      line.is_key = true;
      line.key = TrimBlank(raw.substr(0, eq));
      line.value = TrimBlank(raw.substr(eq + 1));
    }
    if (sections_.empty()) preamble_.push_back(line);
    else sections_.back().lines.push_back(line);
  }
  // Trailing empty lines of each section are layout, rewritten by Text().
  for (auto& s : sections_)
    while (!s.lines.empty() && !s.lines.back().is_key && TrimBlank(s.lines.back().raw).empty())
      s.lines.pop_back();
  while (!preamble_.empty() && TrimBlank(preamble_.back().raw).empty()) preamble_.pop_back();
}

IniDocument::Section* IniDocument::Find(const std::string& name) {
  for (auto& s : sections_)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

const IniDocument::Section* IniDocument::Find(const std::string& name) const {
  for (const auto& s : sections_)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

void IniDocument::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
  Section* s = Find(section);
  if (!s) {
    sections_.push_back(Section{section, {}});
    s = &sections_.back();
  }
  for (auto& line : s->lines) {
    if (line.is_key && SameName(line.key, key)) {
      line.value = value;
      line.raw = key + "=" + value;
      return;
    }
  }
  Line line;
  line.is_key = true;
  line.key = key;
  line.value = value;
  line.raw = key + "=" + value;
  s->lines.push_back(line);
}

std::string IniDocument::Get(const std::string& section, const std::string& key) const {
  const Section* s = Find(section);
  if (!s) return "";
  for (const auto& line : s->lines)
    if (line.is_key && SameName(line.key, key)) return line.value;
  return "";
}

void IniDocument::ClearSection(const std::string& section) {
  if (Section* s = Find(section)) s->lines.clear();
}

bool IniDocument::HasSection(const std::string& section) const { return Find(section) != nullptr; }

std::string IniDocument::Text() const {
  std::string out;
  for (const auto& line : preamble_) out += line.raw + "\r\n";
  if (!preamble_.empty()) out += "\r\n";
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += "[" + sections_[i].name + "]\r\n";
    for (const auto& line : sections_[i].lines) out += line.raw + "\r\n";
  }
  return out;
}
