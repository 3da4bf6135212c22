// Reading an INI file through the system's profile functions, whole: every
// section, key and value however long, and what the file's bytes say.
#pragma once

#include "common/result.h"
#include "config/ini_file.h"

#include <functional>
#include <string>

// Reads path (a bare file name is looked up in the Windows directory, as the
// profile functions do). goOn, when given, is asked before each section: a
// false answer ends the read there, failing with ERROR_CANCELLED. What the
// file's state says is no failure: it is in the IniFile.
Expected<IniFile> readIniFile(const std::string &path, const std::function<bool()> &goOn = nullptr);

// Where the profile functions look for fileName.
std::string profilePath(const std::string &fileName);
