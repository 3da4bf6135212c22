// Whether a service's registered binary path runs our service host, so that
// removing a configuration never removes a service the installer did not make.
#pragma once

#include <string>

// True when the program part of binaryPath ends in "\srvany.exe", in any
// case. The program part is the text between the surrounding double quotes,
// or, unquoted, the text up to the first ".exe" that ends a word (an older
// installer registered the host path unquoted, blanks and all).
bool isHostedByServiceHost(const std::string &binaryPath);
