// An INI text kept in its own order, for merging the keys the builder writes into a data.ini
// the publisher gave: untouched lines stay as they were, set keys are replaced in place.
#pragma once

#include <string>
#include <vector>

class IniDocument {
 public:
  // Any text; lines that are neither headers nor "key=value" are kept as they stand.
  void Parse(const std::string& text);
  // Sets the key in the first section of that name (ASCII letters compared without case, as the
  // installer's profile reader does), adding the section or key at its end when missing.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  // Value of the key, empty when missing.
  std::string Get(const std::string& section, const std::string& key) const;
  // Drops every key of the section (used when the builder writes a whole numbered list).
  void ClearSection(const std::string& section);
  bool HasSection(const std::string& section) const;
  // The whole text with CR LF line ends; sections are separated by one empty line.
  std::string Text() const;

 private:
  struct Line {
    std::string key, value, raw;
    bool is_key = false;
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };
  Section* Find(const std::string& name);
  const Section* Find(const std::string& name) const;
  std::vector<Line> preamble_;
  std::vector<Section> sections_;
};
