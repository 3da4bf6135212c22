#include "scm/status_reporter.h"

#include "log/diagnostic_log.h"

static_assert(
    scm::kControlStop == SERVICE_CONTROL_STOP && scm::kControlPause == SERVICE_CONTROL_PAUSE &&
        scm::kControlContinue == SERVICE_CONTROL_CONTINUE &&
        scm::kControlInterrogate == SERVICE_CONTROL_INTERROGATE &&
        scm::kControlShutdown == SERVICE_CONTROL_SHUTDOWN &&
        scm::kControlParamChange == SERVICE_CONTROL_PARAMCHANGE &&
        scm::kControlPowerEvent == SERVICE_CONTROL_POWEREVENT &&
        scm::kControlTimeChange == SERVICE_CONTROL_TIMECHANGE &&
        scm::kPowerResumeSuspend == PBT_APMRESUMESUSPEND &&
        scm::kPowerResumeAutomatic == PBT_APMRESUMEAUTOMATIC &&
        scm::kAcceptStop == SERVICE_ACCEPT_STOP &&
        scm::kAcceptPauseContinue == SERVICE_ACCEPT_PAUSE_CONTINUE &&
        scm::kAcceptShutdown == SERVICE_ACCEPT_SHUTDOWN &&
        scm::kAcceptParamChange == SERVICE_ACCEPT_PARAMCHANGE &&
        scm::kAcceptPowerEvent == SERVICE_ACCEPT_POWEREVENT &&
        scm::kAcceptTimeChange == SERVICE_ACCEPT_TIMECHANGE &&
        scm::kTypeOwnProcess == SERVICE_WIN32_OWN_PROCESS &&
        scm::kTypeShareProcess == SERVICE_WIN32_SHARE_PROCESS &&
        scm::kStateStopped == SERVICE_STOPPED && scm::kStateStartPending == SERVICE_START_PENDING &&
        scm::kStateStopPending == SERVICE_STOP_PENDING && scm::kStateRunning == SERVICE_RUNNING &&
        scm::kStateContinuePending == SERVICE_CONTINUE_PENDING &&
        scm::kStatePausePending == SERVICE_PAUSE_PENDING && scm::kStatePaused == SERVICE_PAUSED,
    "controls and status values as the system numbers them");

std::uint32_t StatusReporter::attach(const char *name, LPHANDLER_FUNCTION_EX handler,
                                     void *context) {
  status_ = SERVICE_STATUS{};
  status_.dwCurrentState = SERVICE_START_PENDING;
  handle_ = RegisterServiceCtrlHandlerExA(name, handler, context);
  return handle_ ? ERROR_SUCCESS : GetLastError();
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
