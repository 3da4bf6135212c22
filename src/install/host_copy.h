// The service host beside each client: "<directory>\srvany.exe".
#pragma once

#include <string>

// Returns the host path in directory, copying "srvany.exe" of the current
// directory there unless a file is already there (that one is used as it
// is). False, with a console line saying why, when no host can be provided.
bool provideHost(const std::string &directory, std::string &hostPath);
