// The installer's questions about files: full paths and existence.
#pragma once

#include <string>

// path made full against the current directory; false (GetLastError tells
// why) when the system cannot form it.
bool fullPathOf(const std::string &path, std::string &full);
// True when path names an existing file, not a directory.
bool isFile(const std::string &path);
