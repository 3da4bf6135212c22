// The installers' questions about files and paths: the running program's
// own path, full paths, existence, and the service host's copy beside a client.
#pragma once

#include <string>

// The full path of the running program, whatever name it was started by.
// False (GetLastError tells why) when the system cannot say.
bool currentExecutablePath(std::string &path);
// path made full against the current directory; false (GetLastError tells
// why) when the system cannot form it.
bool fullPathOf(const std::string &path, std::string &full);
// True when path names an existing file, not a directory.
bool isFile(const std::string &path);
// Returns the host path in directory after putting "srvany.exe" of the
// current directory there, in place of any other file of that name (one the
// same as ours stays). False, with a console line saying why, when no host
// can be provided.
bool provideHost(const std::string &directory, std::string &hostPath);
