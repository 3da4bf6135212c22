#include "config/ini_file.h"

#include <algorithm>
#include <cctype>

namespace {

std::string trimmed(const std::string &text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

bool sameName(const std::string &a, const std::string &b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

std::optional<std::string> IniSection::value(const std::string &key) const {
  for (const auto &[name, text] : values)
    if (sameName(name, key))
      return text;
  return std::nullopt;
}

const IniSection *IniFile::section(const std::string &name) const {
  for (const IniSection &s : sections)
    if (sameName(s.name, name))
      return &s;
  return nullptr;
}

FileFacts fileFacts(const std::string &bytes) {
  FileFacts facts;
  facts.utf8Mark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
  // UTF-16 with its mark: the low byte of each unit is enough to tell
  // blanks, comments and line ends from anything else.
  std::string text;
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    for (size_t i = 2; i < bytes.size(); i += 2)
      text += bytes[i];
  } else {
    text = bytes.substr(facts.utf8Mark ? 3 : 0);
  }
  size_t at = 0;
  while (at < text.size() && !facts.hasContent) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos)
      end = text.size();
    std::string line = trimmed(text.substr(at, end - at));
    facts.hasContent = !line.empty() && line[0] != ';';
    at = end + 1;
  }
  return facts;
}

void addSectionLines(IniSection &section, const std::vector<std::string> &lines) {
  for (const std::string &line : lines) {
    size_t equals = line.find('=');
    std::string key = trimmed(line.substr(0, equals));
    if (key.empty() || key[0] == ';')
      continue;
    section.keys.push_back(key);
    if (section.value(key))
      continue; // a repeated key: only its first line is read
    std::string value = equals == std::string::npos ? "" : trimmed(line.substr(equals + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    section.values.emplace_back(key, value);
  }
}
