// Reading the installer file ".\Qvn_install.ini" of the current directory
// through the system's profile functions; values are cut at 2048 characters.
#pragma once

#include <string>

// The value of key in section, or def when it is absent.
std::string readInstallValue(const std::string &section, const char *key, const std::string &def);
// The key names of section, each followed by a null character.
std::string readInstallKeys(const char *section);
// The key read from "General" with def as default, then from section with
// that as default: the section overrides "General", which overrides def.
std::string readGeneralThenSection(const std::string &section, const char *key, const char *def);
