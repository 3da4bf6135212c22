// A minimal own-process Windows service for tests. It reports running and
// answers stop, pause, continue and interrogate. Switches, given in its
// binary path (main's arguments) or as start arguments, make it misbehave:
//   --fail-start[=N]  report stopped at once, service-specific exit code N (1)
//   --exit-early      end the process before connecting to the manager
//   --start-delay=MS  stay start-pending for MS before reporting running
//   --stop-delay=MS   answer stop with stop-pending, stop MS later
//   --ignore-stop     accept stop but keep running
//   --refuse-stop     do not accept stop at all
//   --trace=PATH      append one line per event ("start NAME", "stop", ...)
// The user control 200 always ends it, so tests can clean up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr DWORD kControlQuit = 200;

struct Options {
  bool failStart = false;
  DWORD failCode = 1;
  bool exitEarly = false;
  DWORD startDelayMs = 0;
  DWORD stopDelayMs = 0;
  bool ignoreStop = false;
  bool refuseStop = false;
  std::string tracePath;
};

Options g_options;
std::string g_name;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status{};
std::mutex g_statusLock; // the handler and the service thread both report
HANDLE g_endEvent = nullptr;

bool valueOf(const char *arg, const char *prefix, std::string &value) {
  size_t n = std::strlen(prefix);
  if (std::strncmp(arg, prefix, n) != 0)
    return false;
  value = arg + n;
  return true;
}

void parse(int argc, char **argv, int first) {
  for (int i = first; i < argc; ++i) {
    const char *arg = argv[i];
    std::string value;
    if (std::strcmp(arg, "--fail-start") == 0)
      g_options.failStart = true;
    else if (valueOf(arg, "--fail-start=", value)) {
      g_options.failStart = true;
      g_options.failCode = std::strtoul(value.c_str(), nullptr, 10);
    } else if (std::strcmp(arg, "--exit-early") == 0)
      g_options.exitEarly = true;
    else if (valueOf(arg, "--start-delay=", value))
      g_options.startDelayMs = std::strtoul(value.c_str(), nullptr, 10);
    else if (valueOf(arg, "--stop-delay=", value))
      g_options.stopDelayMs = std::strtoul(value.c_str(), nullptr, 10);
    else if (std::strcmp(arg, "--ignore-stop") == 0)
      g_options.ignoreStop = true;
    else if (std::strcmp(arg, "--refuse-stop") == 0)
      g_options.refuseStop = true;
    else if (valueOf(arg, "--trace=", value))
      g_options.tracePath = value;
  }
}

void trace(const std::string &line) {
  if (g_options.tracePath.empty())
    return;
  if (std::FILE *f = std::fopen(g_options.tracePath.c_str(), "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

void report(DWORD state, DWORD waitHint = 0) {
  std::lock_guard<std::mutex> lock(g_statusLock);
  g_status.dwCurrentState = state;
  g_status.dwWaitHint = waitHint;
  g_status.dwCheckPoint = waitHint ? g_status.dwCheckPoint + 1 : 0;
  SetServiceStatus(g_statusHandle, &g_status);
}

void reportCurrent() {
  std::lock_guard<std::mutex> lock(g_statusLock);
  SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI handler(DWORD control, DWORD, void *, void *) {
  switch (control) {
  case SERVICE_CONTROL_STOP:
    trace("stop");
    if (g_options.ignoreStop) {
      reportCurrent();
      return NO_ERROR;
    }
    if (g_options.stopDelayMs)
      report(SERVICE_STOP_PENDING, g_options.stopDelayMs + 2000);
    SetEvent(g_endEvent);
    return NO_ERROR;
  case kControlQuit:
    trace("quit");
    SetEvent(g_endEvent);
    return NO_ERROR;
  case SERVICE_CONTROL_PAUSE:
    trace("pause");
    report(SERVICE_PAUSED);
    return NO_ERROR;
  case SERVICE_CONTROL_CONTINUE:
    trace("continue");
    report(SERVICE_RUNNING);
    return NO_ERROR;
  case SERVICE_CONTROL_INTERROGATE:
    reportCurrent();
    return NO_ERROR;
  default:
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI serviceMain(DWORD argc, char **argv) {
  g_name = argc > 0 && argv[0] ? argv[0] : "";
  parse(static_cast<int>(argc), argv, 1);
  trace("start " + g_name);

  g_statusHandle = RegisterServiceCtrlHandlerExA(g_name.c_str(), handler, nullptr);
  if (!g_statusHandle)
    return;
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwControlsAccepted = SERVICE_ACCEPT_PAUSE_CONTINUE;
  if (!g_options.refuseStop)
    g_status.dwControlsAccepted |= SERVICE_ACCEPT_STOP;

  if (g_options.failStart) {
    g_status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    g_status.dwServiceSpecificExitCode = g_options.failCode;
    trace("failed");
    report(SERVICE_STOPPED);
    return;
  }
  if (g_options.startDelayMs) {
    report(SERVICE_START_PENDING, g_options.startDelayMs + 2000);
    Sleep(g_options.startDelayMs);
  }
  report(SERVICE_RUNNING);
  trace("running");

  WaitForSingleObject(g_endEvent, INFINITE);
  if (g_options.stopDelayMs)
    Sleep(g_options.stopDelayMs);
  trace("stopped");
  report(SERVICE_STOPPED);
}

} // namespace

int main(int argc, char **argv) {
  parse(argc, argv, 1);
  if (g_options.exitEarly) {
    trace("exit-early");
    return 3;
  }
  g_endEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Own process: the dispatcher ignores the name, and the real one arrives
  // as the service's first argument.
  char emptyName[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{emptyName, serviceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table))
    return 2;
  return 0;
}
