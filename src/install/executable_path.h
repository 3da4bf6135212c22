// The full path of the running program, whatever name it was started by.
#pragma once

#include <string>

// False (GetLastError tells why) when the system cannot say.
bool currentExecutablePath(std::string &path);
