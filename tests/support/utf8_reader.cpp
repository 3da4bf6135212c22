// Reads an INI file as the programs do, in a process whose code page is UTF-8 (its manifest asks
// for it, as "Use Unicode UTF-8 for worldwide language support" does for every program): prints
// the code page, then each section's name, "(lost)" when it did not survive, and its Start value.
#include "config/ini_reader.h"

#include <windows.h>

#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 2)
    return 2;
  std::printf("%u\n", GetACP());
  IniFile file = *readIniFile(argv[1]);
  for (const IniSection &s : file.sections)
    std::printf("%s%s %s\n", s.name.c_str(), s.nameLost ? " (lost)" : "",
                s.value("Start", "").c_str());
  return 0;
}
