#include "scm/status_reporter.h"

#include "log/diagnostic_log.h"

Result StatusReporter::attach(const char *name, LPHANDLER_FUNCTION_EX handler, void *context) {
  status_ = SERVICE_STATUS{};
  status_.dwCurrentState = SERVICE_START_PENDING;
  handle_ = RegisterServiceCtrlHandlerExA(name, handler, context);
  return handle_ ? Result() : Result::failure(GetLastError(), "RegisterServiceCtrlHandlerEx");
}

void StatusReporter::report(DWORD state, DWORD waitHint) {
  status_.dwCheckPoint = checkPointAfter(status_.dwCurrentState, status_.dwCheckPoint, state);
  status_.dwCurrentState = state;
  status_.dwWaitHint = status_.dwCheckPoint ? waitHint : 0;
  for (;;) {
    status_.dwServiceType = serviceType(shape_);
    status_.dwControlsAccepted = acceptedControls(state, shape_);
    if (SetServiceStatus(handle_, &status_))
      return;
    DWORD error = GetLastError();
    std::optional<StatusShape> narrower =
        error == ERROR_INVALID_DATA ? narrowerStatus(shape_) : std::nullopt;
    if (!narrower) {
      g_log.writeError("SetServiceStatus()", error);
      return;
    }
    shape_ = *narrower;
  }
}

void StatusReporter::reportStopped(DWORD specificCode) {
  status_.dwWin32ExitCode = specificCode ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
  status_.dwServiceSpecificExitCode = specificCode;
  report(SERVICE_STOPPED);
}
