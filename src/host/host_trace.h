// The host's diagnostics. Progress goes to the debugger output only, each
// line prefixed with "srvany: " and the service name (when known); failures
// also go to "C:\Qvn.log" and, as errors, to the event log, where
// administrators look, prefixed with the service name.
#pragma once

#include <string>

void hostTrace(const std::string &service, const std::string &text);
void hostFailure(const std::string &service, const std::string &text);
// hostFailure with the text, ": error " and the code.
void hostFailure(const std::string &service, const std::string &context, unsigned long code);
