// What the host runs: the three values the installer writes under
// HKLM\SYSTEM\CurrentControlSet\Services\<service>\Parameters.
#pragma once

#include <string>

struct HostParameters {
  std::string directory;   // "AppDirectory"
  std::string application; // "Application"
  std::string parameters;  // "AppParameters" (may be empty)
};

// False, with a line in the log naming what is missing, when the
// key cannot be opened or a value is absent, not a string, or (for the
// directory and the application) empty.
bool readHostParameters(const std::string &service, HostParameters &out);
