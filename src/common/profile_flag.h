// The flag rule of both INI files: set only by exactly "y" ("yes", "Y" and
// anything else leave it clear).
#pragma once

#include <string>

inline bool isFlagSet(const std::string &value) { return value == "y"; }
