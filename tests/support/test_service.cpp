// A minimal own-process Windows service for tests. It reports running and
// answers stop, pause, continue and interrogate. Switches in its binary path
// or start arguments make it slow or stubborn:
//   --stop-delay=MS  answer stop with stop-pending, stop MS later
//   --ignore-stop    accept stop but keep running
//   --never-connect  run on without ever connecting to the manager
//   --start-delay=MS connect to the manager only MS after the process starts
//                    (a start request waits for that)
//   --stop-after=MS  accept the stop control only MS after running
//   --report-event   once running, report the information event
//                    "<name> running" under the source "QvnTest"
// The user control 200 always ends it, so tests can clean up.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr DWORD kControlQuit = 200;

DWORD g_stopDelayMs = 0;
DWORD g_startDelayMs = 0;
DWORD g_stopAfterMs = 0;
bool g_ignoreStop = false;
bool g_neverConnect = false;
bool g_reportEvent = false;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status{
    SERVICE_WIN32_OWN_PROCESS, 0, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE, 0, 0, 0, 0};
std::mutex g_statusLock; // the handler and the service thread both report
HANDLE g_endEvent = nullptr;

void parse(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--stop-delay=", 13) == 0)
      g_stopDelayMs = std::strtoul(argv[i] + 13, nullptr, 10);
    else if (std::strcmp(argv[i], "--ignore-stop") == 0)
      g_ignoreStop = true;
    else if (std::strcmp(argv[i], "--never-connect") == 0)
      g_neverConnect = true;
    else if (std::strncmp(argv[i], "--start-delay=", 14) == 0)
      g_startDelayMs = std::strtoul(argv[i] + 14, nullptr, 10);
    else if (std::strncmp(argv[i], "--stop-after=", 13) == 0)
      g_stopAfterMs = std::strtoul(argv[i] + 13, nullptr, 10);
    else if (std::strcmp(argv[i], "--report-event") == 0)
      g_reportEvent = true;
  }
}

// state 0 reports the current state again; accept adds controls accepted.
void report(DWORD state, DWORD waitHint = 0, DWORD accept = 0) {
  std::lock_guard<std::mutex> lock(g_statusLock);
  g_status.dwControlsAccepted |= accept;
  if (state) {
    g_status.dwCurrentState = state;
    g_status.dwWaitHint = waitHint;
    g_status.dwCheckPoint = waitHint ? g_status.dwCheckPoint + 1 : 0;
  }
  SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI handler(DWORD control, DWORD, void *, void *) {
  switch (control) {
  case SERVICE_CONTROL_STOP:
    if (g_ignoreStop)
      break;
    if (g_stopDelayMs)
      report(SERVICE_STOP_PENDING, g_stopDelayMs + 2000);
    SetEvent(g_endEvent);
    return NO_ERROR;
  case kControlQuit:
    SetEvent(g_endEvent);
    return NO_ERROR;
  case SERVICE_CONTROL_PAUSE:
    report(SERVICE_PAUSED);
    return NO_ERROR;
  case SERVICE_CONTROL_CONTINUE:
    report(SERVICE_RUNNING);
    return NO_ERROR;
  case SERVICE_CONTROL_INTERROGATE:
    break;
  default:
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  report(0);
  return NO_ERROR;
}

void WINAPI serviceMain(DWORD argc, char **argv) {
  parse(static_cast<int>(argc), argv);
  if (g_stopAfterMs)
    g_status.dwControlsAccepted &= ~DWORD{SERVICE_ACCEPT_STOP};
  g_statusHandle = RegisterServiceCtrlHandlerExA(argv[0], handler, nullptr);
  if (!g_statusHandle)
    return;
  report(SERVICE_RUNNING);
  if (g_stopAfterMs && WaitForSingleObject(g_endEvent, g_stopAfterMs) == WAIT_TIMEOUT)
    report(0, 0, SERVICE_ACCEPT_STOP);
  if (HANDLE source = g_reportEvent ? RegisterEventSourceA(nullptr, "QvnTest") : nullptr) {
    std::string text = std::string(argv[0]) + " running";
    const char *strings[] = {text.c_str()};
    ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
  }
  WaitForSingleObject(g_endEvent, INFINITE);
  Sleep(g_stopDelayMs);
  report(SERVICE_STOPPED);
}

} // namespace

int main(int argc, char **argv) {
  parse(argc, argv);
  if (g_neverConnect)
    Sleep(INFINITE);
  Sleep(g_startDelayMs);
  g_endEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char emptyName[] = ""; // own process: the real name arrives as argv[0]
  SERVICE_TABLE_ENTRYA table[] = {{emptyName, serviceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 2;
}
