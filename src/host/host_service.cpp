#include "host/host_service.h"

#include "common/unique_handle.h"
#include "host/client_process.h"
#include "host/host_parameters.h"
#include "log/diagnostic_log.h"
#include "scm/status_reporter.h"

#include <string>

namespace {

// How long the application gets to end after the polite request.
constexpr DWORD kGraceMs = 5000;

// Only the service thread reports status; the control handler, on the
// dispatcher thread, just signals it.
struct HostState {
  StatusReporter status{{false, scm::kAcceptStop | scm::kAcceptShutdown}};
  UniqueKernelHandle stopRequested;
};

// One host runs one service. Its state lives as long as the process: a stop
// arriving as the service ends may run the handler after the service entry
// has returned.
HostState g_host;

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
  Expected<HostParameters> parameters = readHostParameters(service);
  if (!parameters) {
    hostFailure(service, parameters.result().subject());
    return kHostParametersMissing;
  }
  ClientProcess client(service);
  if (Result started = client.start(*parameters); !started) {
    hostFailure(service, started);
    return kHostApplicationNotStarted;
  }
  state.status.report(SERVICE_RUNNING);

  HANDLE waits[] = {state.stopRequested.get(), client.processHandle()};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    hostFailure(service,
                "application ended by itself, exit code " + std::to_string(client.exitCode()));
    return kHostApplicationEnded;
  }
  state.status.report(SERVICE_STOP_PENDING, 2 * kGraceMs + 1000);
  client.stop(kGraceMs);
  hostTrace(service, "application ended, exit code " + std::to_string(client.exitCode()));
  return 0;
}

} // namespace

void WINAPI hostServiceMain(DWORD argc, LPSTR *argv) {
  std::string service = argc > 0 && argv[0] ? argv[0] : "";
  HostState &state = g_host;
  state.stopRequested.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  DWORD eventError = state.stopRequested ? ERROR_SUCCESS : GetLastError();
  if (Result attached = state.status.attach(service.c_str(), controlHandler, &state); !attached) {
    hostFailure(service, attached);
    return;
  }
  if (eventError) {
    hostFailure(service, Result::failure(eventError, "CreateEvent"));
    state.status.reportStopped(kHostApplicationNotStarted);
    return;
  }
  state.status.report(SERVICE_START_PENDING, 3000);
  DWORD code = runApplication(state, service);
  if (code != 0)
    hostTrace(service, "stopping with service-specific exit code " + std::to_string(code));
  state.status.reportStopped(code);
}

void hostTrace(const std::string &service, const std::string &text) {
  std::string prefix = service.empty() ? "srvany: " : "srvany: " + service + ": ";
  OutputDebugStringA((prefix + text + "\n").c_str());
}

void hostFailure(const std::string &service, const std::string &text) {
  // The log copies the line to the debugger output and the event log.
  g_log.writeLine((service.empty() ? std::string("srvany") : service) + ": " + text,
                  LogKind::Error);
}

void hostFailure(const std::string &service, const Result &failure) {
  const std::string call = failure.call() ? failure.call() : "";
  if (failure.subject().empty())
    hostFailure(service, call + ": error " + std::to_string(failure.error()));
  else // the system's text on a line of its own, as for every failed call
    g_log.writeError((service + ": " + call + " " + failure.subject()).c_str(), failure.error());
}
