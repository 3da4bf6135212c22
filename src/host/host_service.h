// srvany.exe's service: runs the application its registry values name for
// as long as the service runs, under whatever service name it was
// registered with; and the host's diagnostics.
#pragma once

#include "common/result.h"

#include <windows.h>

#include <string>

void WINAPI hostServiceMain(DWORD argc, LPSTR *argv);

// The service-specific exit codes the host reports when its service stops
// for a reason other than a stop request (with ERROR_SERVICE_SPECIFIC_ERROR).
enum HostExitCode : unsigned long {
  kHostParametersMissing = 1,     // "Parameters" or a value absent, mistyped or empty
  kHostApplicationNotStarted = 2, // job or process could not be created
  kHostApplicationEnded = 3,      // the application exited without being asked to
};

// Progress goes to the debugger output only, each line prefixed with
// "srvany: " and the service name (when known); failures also go to
// "C:\Qvn.log" and, as errors, to the event log, where administrators look,
// prefixed with the service name.
void hostTrace(const std::string &service, const std::string &text);
void hostFailure(const std::string &service, const std::string &text);
// hostFailure of a failed call: its name, ": error " and the code; with a
// subject, the name, the subject and the system's text on a line of its own.
void hostFailure(const std::string &service, const Result &failure);
