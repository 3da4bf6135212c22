// An INI file as the system's profile functions read it: its sections in
// file order with their key names and values, and what its bytes say that
// the profile functions do not (missing, unreadable, a UTF-8 mark, text
// without any section). Filled by readIniFile; everything after is pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct IniSection {
  std::string name;
  // The name holds characters the system code page cannot: the profile
  // functions know the section by another name (question marks).
  bool nameLost = false;
  // Every key line's name in file order, repeats included.
  std::vector<std::string> keys;
  // The value of each distinct key as the profile functions read it (the
  // first line of a repeated key).
  std::vector<std::pair<std::string, std::string>> values;

  // The value of key, in any ASCII case; none when the section lacks it.
  std::optional<std::string> value(const std::string &key) const;
  std::string value(const std::string &key, const std::string &fallback) const {
    return value(key).value_or(fallback);
  }
};

struct IniFile {
  enum class State { Read, Missing, Unreadable };
  std::string path;
  State state = State::Missing;
  std::string whyUnreadable;        // the system's words, when Unreadable
  bool utf8Mark = false;            // starts with the bytes EF BB BF
  bool hasContent = false;          // holds a line other than blanks and comments
  std::vector<IniSection> sections; // in file order, a repeated name again

  // The first section of that name (any ASCII case); null when none.
  const IniSection *section(const std::string &name) const;
};

// What a file's bytes say before the profile functions read it: a UTF-8
// byte-order mark, and whether any line holds more than blanks or a
// comment (a UTF-16 text with its mark is looked at through its low bytes).
struct FileFacts {
  bool utf8Mark = false;
  bool hasContent = false;
};
FileFacts fileFacts(const std::string &bytes);

// Fills a section's keys and values from its lines as the profile functions
// list them ("key=value" or a bare "key"): comment lines are left out, blanks
// around names and values dropped, and a value enclosed in a pair of single
// or double quotes loses them, as the functions' value read does.
void addSectionLines(IniSection &section, const std::vector<std::string> &lines);

// The flag rule of both INI files: set only by exactly "y" ("yes", "Y" and
// anything else leave it clear).
inline bool isFlagSet(const std::string &value) { return value == "y"; }

// Names are equal whatever their ASCII case, as the service manager and
// the profile functions compare them.
bool sameName(const std::string &a, const std::string &b);
