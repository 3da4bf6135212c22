// The host's only diagnostics: lines on the debugger output, each prefixed
// with "srvany: " and the service name (when known).
#pragma once

#include <string>

void hostTrace(const std::string &service, const std::string &text);
// hostTrace with the text, ": error " and the code.
void hostTraceError(const std::string &service, const std::string &context, unsigned long code);
