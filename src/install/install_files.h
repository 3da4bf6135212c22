// The installers' questions about files and paths: the running program's
// own path, full paths, existence, and the service host's copy beside a client.
#pragma once

#include "common/result.h"

#include <string>

// The full path of the running program, whatever name it was started by.
Expected<std::string> currentExecutablePath();
// path made full against the current directory.
Expected<std::string> fullPathOf(const std::string &path);
// True when path names an existing file, not a directory.
bool isFile(const std::string &path);
// The host path in directory after putting "srvany.exe" of the current
// directory there, in place of any other file of that name (one the same as
// ours stays). Fails, after a console line saying why, when no host can be
// provided.
Expected<std::string> provideHost(const std::string &directory);
