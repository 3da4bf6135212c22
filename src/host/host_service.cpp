#include "host/host_service.h"

#include "common/unique_handle.h"
#include "host/client_process.h"
#include "host/host_exit_codes.h"
#include "host/host_parameters.h"
#include "host/host_trace.h"

#include <string>

namespace {

// How long the application gets to end after the polite request.
constexpr DWORD kGraceMs = 5000;

// Only the service thread reports status; the control handler, on the
// dispatcher thread, just signals it.
struct HostState {
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
  SERVICE_STATUS status{};
  UniqueKernelHandle stopRequested;
};

// One host runs one service. Its state lives as long as the process: a stop
// arriving as the service ends may run the handler after the service entry
// has returned.
HostState g_host;

void report(HostState &state, DWORD current, DWORD waitHint = 0) {
  state.status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  state.status.dwCurrentState = current;
  state.status.dwControlsAccepted =
      current == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  state.status.dwWaitHint = waitHint;
  if (current == SERVICE_START_PENDING || current == SERVICE_STOP_PENDING)
    ++state.status.dwCheckPoint;
  else
    state.status.dwCheckPoint = 0;
  SetServiceStatus(state.statusHandle, &state.status);
}

void reportStopped(HostState &state, DWORD specificCode) {
  state.status.dwWin32ExitCode = specificCode ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
  state.status.dwServiceSpecificExitCode = specificCode;
  report(state, SERVICE_STOPPED);
}

DWORD WINAPI controlHandler(DWORD control, DWORD, LPVOID, LPVOID context) {
  auto *state = static_cast<HostState *>(context);
  switch (control) {
  case SERVICE_CONTROL_STOP:
  case SERVICE_CONTROL_SHUTDOWN:
    SetEvent(state->stopRequested.get());
    return NO_ERROR;
  case SERVICE_CONTROL_INTERROGATE:
    return NO_ERROR;
  default:
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// Runs the application until a stop request or its own end; the result is
// the service-specific exit code, 0 for a requested stop.
DWORD runApplication(HostState &state, const std::string &service) {
  HostParameters parameters;
  std::string why;
  if (!readHostParameters(service, parameters, why)) {
    hostFailure(service, why);
    return kHostParametersMissing;
  }
  ClientProcess client(service);
  if (!client.start(parameters))
    return kHostApplicationNotStarted;
  report(state, SERVICE_RUNNING);

  HANDLE waits[] = {state.stopRequested.get(), client.processHandle()};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    hostFailure(service,
                "application ended by itself, exit code " + std::to_string(client.exitCode()));
    return kHostApplicationEnded;
  }
  report(state, SERVICE_STOP_PENDING, 2 * kGraceMs + 1000);
  client.stop(kGraceMs);
  hostTrace(service, "application ended, exit code " + std::to_string(client.exitCode()));
  return 0;
}

} // namespace

void WINAPI hostServiceMain(DWORD argc, LPSTR *argv) {
  std::string service = argc > 0 && argv[0] ? argv[0] : "";
  HostState &state = g_host;
  state.stopRequested.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  state.statusHandle = RegisterServiceCtrlHandlerExA(service.c_str(), controlHandler, &state);
  if (!state.statusHandle) {
    hostFailure(service, "RegisterServiceCtrlHandlerEx", GetLastError());
    return;
  }
  if (!state.stopRequested) {
    hostFailure(service, "CreateEvent", GetLastError());
    reportStopped(state, kHostApplicationNotStarted);
    return;
  }
  report(state, SERVICE_START_PENDING, 3000);
  DWORD code = runApplication(state, service);
  if (code != 0)
    hostTrace(service, "stopping with service-specific exit code " + std::to_string(code));
  reportStopped(state, code);
}
