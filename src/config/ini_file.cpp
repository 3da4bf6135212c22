#include "config/ini_file.h"

#include "common/system_numbers.h"
#include "common/text.h"

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
  for (int number = 1; at < text.size() && !facts.hasContent; ++number) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos)
      end = text.size();
    std::string line(trimBlanks(std::string_view(text).substr(at, end - at)));
    facts.hasContent = !line.empty() && line[0] != ';';
    if (facts.hasContent && line[0] != '[') {
      facts.lineBeforeSections = number;
      facts.textBeforeSections = line;
    }
    at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return facts;
}

ReadOutcome afterRead(const FileSnapshot &before, const FileSnapshot &after, int attempt) {
  if (before.exists == after.exists && before.size == after.size &&
      before.writeTime == after.writeTime && before.bytes == after.bytes)
    return ReadOutcome::Take;
  return attempt < kReadAttempts ? ReadOutcome::ReadAgain : ReadOutcome::GiveUp;
}

std::uint32_t narrowingFlags(std::uint32_t codePage) {
  switch (codePage) {
  case 42:    // Symbol
  case 50220: // ISO-2022 Japanese, Korean, Chinese
  case 50221:
  case 50222:
  case 50225:
  case 50227:
  case 50229:
  case 52936: // HZ-GB2312
  case 54936: // GB18030
  case 65000: // UTF-7
  case 65001: // UTF-8
    return 0;
  default:
    return codePage >= 57002 && codePage <= 57011 ? 0 : kNoBestFit; // ISCII
  }
}

void addSectionLines(IniSection &section, const std::vector<std::string> &lines) {
  for (const std::string &line : lines) {
    size_t equals = line.find('=');
    std::string key(trimBlanks(std::string_view(line).substr(0, equals)));
    if (key.empty() || key[0] == ';')
      continue;
    section.keys.push_back(key);
    if (section.value(key))
      continue; // a repeated key: only its first line is read
    std::string value = equals == std::string::npos
                            ? ""
                            : std::string(trimBlanks(std::string_view(line).substr(equals + 1)));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    section.values.emplace_back(key, value);
  }
}
