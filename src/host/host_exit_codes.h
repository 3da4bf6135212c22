// The service-specific exit codes the host reports when its service stops
// for a reason other than a stop request (with ERROR_SERVICE_SPECIFIC_ERROR).
#pragma once

enum HostExitCode : unsigned long {
  kHostParametersMissing = 1,     // "Parameters" key or one of its values absent or empty
  kHostApplicationNotStarted = 2, // job or process could not be created
  kHostApplicationEnded = 3,      // the application exited without being asked to
};
