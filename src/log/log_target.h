// Whether what was opened under the log's name is a plain file of its own,
// decided from what the system says of the open handle.
#pragma once

#include <string>

struct OpenedFile {
  bool directory = false;
  bool reparsePoint = false; // a symbolic link or junction, opened as itself
  unsigned long links = 1;   // hard links to the same file
  std::string finalPath;     // as the system names it ("\\?\C:\..."); empty if unknown
};

// Empty when the file may be written as path; otherwise why not, as a
// short phrase ("it is a folder").
std::string unusableReason(const std::string &path, const OpenedFile &file);
