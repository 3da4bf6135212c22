// What a client service's host runs: the three values under
// HKLM\SYSTEM\CurrentControlSet\Services\<service>\Parameters, written by
// the installer and read by srvany.exe, their names spelled here alone.
#pragma once

#include "common/result.h"

#include <string>

struct HostParameters {
  std::string directory;   // "AppDirectory"
  std::string application; // "Application"
  std::string parameters;  // "AppParameters" (may be empty)
};

// Writes the three values (strings, their terminating null counted) into
// the service's "Parameters" key, made if needed; the service's key must
// exist. Stops at the first failure; the values written before it stay. The
// failure's subject is what it failed at: empty for the service's key,
// kParametersKey, or a value's name.
Result writeHostParameters(const std::string &service, const HostParameters &parameters);
inline constexpr char kParametersKey[] = "Parameters";

// The command line the host gives the application: its path between double
// quotes (so a path with blanks names one file), a blank, the parameters.
inline std::string buildCommandLine(const std::string &application, const std::string &parameters) {
  return "\"" + application + "\" " + parameters;
}

// Reads the three values, a REG_EXPAND_SZ one with the host's environment
// variables put in. Fails when the key cannot be opened or a value is
// absent, of another type, or (for the directory and the application)
// empty; the failure's subject says so in words, for the host's log line.
Expected<HostParameters> readHostParameters(const std::string &service);
