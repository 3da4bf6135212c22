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

// What a write failed at: the service's key, its "Parameters" key, or a
// value (named in failedValue).
enum class HostWriteStep { ServiceKey, ParametersKey, Value };

// Writes the three values (strings, their terminating null counted) into
// the service's "Parameters" key, made if needed; the service's key must
// exist. Stops at the first failure, logged where the call failed; the
// values written before it stay.
Result writeHostParameters(const std::string &service, const HostParameters &parameters,
                           HostWriteStep &failedStep, std::string &failedValue);

// The command line the host gives the application: its path between double
// quotes (so a path with blanks names one file), a blank, the parameters.
inline std::string buildCommandLine(const std::string &application, const std::string &parameters) {
  return "\"" + application + "\" " + parameters;
}

// Reads the three values, a REG_EXPAND_SZ one with the host's environment
// variables put in. Fails when the key cannot be opened or a value is
// absent, of another type (named in why with the types wanted), or (for
// the directory and the application) empty; why then says so, for the
// host's log line.
Result readHostParameters(const std::string &service, HostParameters &out, std::string &why);
