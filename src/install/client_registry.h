// The values that tell a client service's host what to run, under
// HKLM\SYSTEM\CurrentControlSet\Services\<service>\Parameters.
#pragma once

#include <string>

// Writes "AppDirectory", "Application" and "AppParameters" (strings, their
// terminating null counted) into the service's "Parameters" key, made if
// needed. The service's key must exist. False, with a console line saying
// which step failed, at the first failure; earlier values stay.
bool writeClientParameters(const std::string &service, const std::string &directory,
                           const std::string &application, const std::string &parameters);
