// The command line the service host gives the application it runs.
#pragma once

#include <string>

// The application path between double quotes (so a path with blanks names
// one file), a blank, then the parameters.
std::string buildCommandLine(const std::string &application, const std::string &parameters);
