// The text of log entries, apart from where it goes: how an error entry is
// put together and how line breaks reach the file.
#pragma once

#include <string>

// The context line (when given), then two blanks and the system's message
// with its own trailing line break and blanks removed (when there is one).
std::string errorEntry(const char *context, const std::string &message);

// The entry as the file holds it: every "\n" as "\r\n", without doubling
// a "\r" that is already there.
std::string fileText(const std::string &entry);

// The entry as an event log's text: fileText without the closing line
// breaks, as the event viewer adds its own layout.
std::string eventText(const std::string &entry);
