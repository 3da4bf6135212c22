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
  // Unreadable also when it changed during every read.
  enum class State { Read, Missing, Unreadable };
  std::string path;
  State state = State::Missing;
  std::string whyUnreadable;  // the system's words, when Unreadable
  bool utf8Mark = false;      // starts with the bytes EF BB BF
  bool hasContent = false;    // holds a line other than blanks and comments
  int lineBeforeSections = 0; // see FileFacts
  std::string textBeforeSections;
  std::vector<IniSection> sections; // in file order, a repeated name again

  // The first section of that name (any ASCII case); null when none.
  const IniSection *section(const std::string &name) const;
};

// What a file's bytes say before the profile functions read it: a UTF-8
// byte-order mark, whether any line holds more than blanks or a comment,
// and the first such line when it comes before every section (the profile
// functions skip it) with its number from 1. A UTF-16 text with its mark is
// looked at through its low bytes.
struct FileFacts {
  bool utf8Mark = false;
  bool hasContent = false;
  int lineBeforeSections = 0; // 0: none
  std::string textBeforeSections;
};
FileFacts fileFacts(const std::string &bytes);

// The file as it was before or after a read: a read is taken only when the
// file did not change meanwhile (its size, last-write time and bytes);
// otherwise it is read again, kReadAttempts times in all, then given up.
struct FileSnapshot {
  bool exists = false;
  std::uint64_t size = 0;
  std::uint64_t writeTime = 0;
  std::string bytes;
};
constexpr int kReadAttempts = 3;
enum class ReadOutcome { Take, ReadAgain, GiveUp };
// attempt counts from 1.
ReadOutcome afterRead(const FileSnapshot &before, const FileSnapshot &after, int attempt);

// The flags WideCharToMultiByte takes for text in codePage: best fit refused
// where Windows allows that, 0 where it refuses any other flag (UTF-8,
// UTF-7, GB18030, HZ, the ISO-2022 and ISCII pages, Symbol). Characters a
// code page lost are found by converting back, since UTF-8 and UTF-7 also
// refuse to say whether a default character was used.
std::uint32_t narrowingFlags(std::uint32_t codePage);

// Fills a section's keys and values from its lines as the profile functions
// list them ("key=value" or a bare "key"): comment lines are left out, blanks
// around names and values dropped, and a value enclosed in a pair of single
// or double quotes loses them, as the functions' value read does.
void addSectionLines(IniSection &section, const std::vector<std::string> &lines);

// The flag rule of both INI files: set only by exactly "y" ("yes", "Y" and
// anything else leave it clear).
inline bool isFlagSet(const std::string &value) { return value == "y"; }
