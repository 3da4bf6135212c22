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
