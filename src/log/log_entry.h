// What a log entry is apart from where it goes: what it means to someone
// watching the system's event log, how its text is put together and reaches
// the file or an event, and whether a file opened as the log may take it.
#pragma once

#include <string>

// Record entries stay in the log file (and the debugger output); the others
// also go to the event sink, when one is set.
enum class LogKind { Record, Information, Warning, Error };

// The context line (when given), then two blanks and the system's message
// with its own trailing line break and blanks removed (when there is one).
std::string errorEntry(const char *context, const std::string &message);

// The entry as the file holds it: every "\n" as "\r\n", without doubling
// a "\r" that is already there.
std::string fileText(const std::string &entry);

// The entry as an event log's text: fileText without the closing line
// breaks, as the event viewer adds its own layout.
std::string eventText(const std::string &entry);

// What the system says of a file opened under the log's name.
struct OpenedFile {
  bool directory = false;
  bool reparsePoint = false; // a symbolic link or junction, opened as itself
  unsigned long links = 1;   // hard links to the same file
  std::string finalPath;     // as the system names it ("\\?\C:\..."); empty if unknown
};

// Empty when the file may be written as path, a plain file of its own;
// otherwise why not, as a short phrase ("it is a folder").
std::string unusableReason(const std::string &path, const OpenedFile &file);
