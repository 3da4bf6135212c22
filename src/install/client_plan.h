// "-install_fah" / "-desinstall_fah" decided before anything is done: what
// the installer file gives to work on, and for each client service what is
// registered and written, or why it is refused, with the console lines that
// say so. Asks the system nothing but through the queries it is given.
#pragma once

#include "config/ini_file.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The file and the services of the configuration given (else the first),
// after the line naming it ("<verb> configuration <name>"). Not usable
// (after a line saying why) when the file cannot be used or no
// configuration is named or listed; no services (after a line saying so)
// when it lists none.
struct ConfigurationWork {
  std::vector<std::string> lines;
  bool usable = false;
  IniFile file;
  std::vector<std::string> services;
};
ConfigurationWork planConfigurationWork(IniFile file,
                                        const std::optional<std::string> &configuration,
                                        const std::string &verb);

// What a plan asks of the system: a path made full (none when the system
// cannot form it), and whether a file exists.
struct PathQueries {
  std::function<std::optional<std::string>(const std::string &)> fullPath;
  std::function<bool(const std::string &)> isFile;
};

// One client service: the lines said before anything is done, a refusal
// last; what it is registered with and the host's values.
struct ClientPlan {
  std::vector<std::string> lines;
  bool refused = false;
  std::string display, description;
  std::string directory;   // full
  std::string application; // directory\executable
  std::string parameters;  // the application's arguments
};
ClientPlan planClientService(const IniFile &file, const std::string &service,
                             const PathQueries &system);
