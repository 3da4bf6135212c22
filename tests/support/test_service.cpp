// A minimal own-process service for tests: reports running, answers stop, pause, continue and
// interrogate; the user control 200 always ends it. Switches (binary path or start arguments):
//   --ignore-stop     accept stop but keep running
//   --start-delay=MS  connect only MS after the process starts
//   --stop-after=MS   start pending, accepting no stop, for MS, as a service still starting
//   --no-stop         running, never accepting a stop
//   --report-event    once running, report the information event "<name> running" (source QvnTest)
// With a client switch, or when not started by the service manager (then as --ctrl-c-only), it is
// instead the stand-in client a host service runs: it writes its command line, working directory
// and process id, a line each, to "client-run.txt" in its working directory, then
//   --exit-at-once    exits with 7
//   --ctrl-c-only     handles Ctrl+C alone (other console events take their default course):
//                     appends "asked to end by Ctrl+C" 2 s after it and exits with 0
//   --never-end       takes every console event without ending: only a kill ends it
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

DWORD g_startDelayMs = 0, g_stopAfterMs = 0;
bool g_ignoreStop = false, g_reportEvent = false, g_noStop = false;
bool g_exitAtOnce = false, g_ctrlCOnly = false, g_neverEnd = false; // as a client
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status{
    SERVICE_WIN32_OWN_PROCESS, 0, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE, 0, 0, 0, 0};
std::mutex g_statusLock; // the handler and the service thread both report
HANDLE g_endEvent = nullptr;

void parse(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    g_ignoreStop |= arg == "--ignore-stop";
    g_reportEvent |= arg == "--report-event";
    g_noStop |= arg == "--no-stop";
    g_exitAtOnce |= arg == "--exit-at-once";
    g_ctrlCOnly |= arg == "--ctrl-c-only";
    g_neverEnd |= arg == "--never-end";
    if (arg.rfind("--start-delay=", 0) == 0)
      g_startDelayMs = std::stoul(arg.substr(14));
    if (arg.rfind("--stop-after=", 0) == 0)
      g_stopAfterMs = std::stoul(arg.substr(13));
  }
}

// state 0 reports the current state again; accept adds controls accepted.
void report(DWORD state, DWORD accept = 0) {
  std::lock_guard<std::mutex> lock(g_statusLock);
  g_status.dwControlsAccepted |= accept;
  g_status.dwCurrentState = state ? state : g_status.dwCurrentState;
  SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI handler(DWORD control, DWORD, void *, void *) {
  if (control == 200 || (control == SERVICE_CONTROL_STOP && !g_ignoreStop))
    SetEvent(g_endEvent);
  else if (control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE)
    report(control == SERVICE_CONTROL_PAUSE ? SERVICE_PAUSED : SERVICE_RUNNING);
  else if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_INTERROGATE)
    report(0);
  else
    return ERROR_CALL_NOT_IMPLEMENTED;
  return NO_ERROR;
}

void WINAPI serviceMain(DWORD argc, char **argv) {
  parse(static_cast<int>(argc), argv);
  if (g_stopAfterMs || g_noStop)
    g_status.dwControlsAccepted &= ~DWORD{SERVICE_ACCEPT_STOP};
  if (!(g_statusHandle = RegisterServiceCtrlHandlerExA(argv[0], handler, nullptr)))
    return;
  report(g_stopAfterMs ? SERVICE_START_PENDING : SERVICE_RUNNING);
  if (g_stopAfterMs && WaitForSingleObject(g_endEvent, g_stopAfterMs) == WAIT_TIMEOUT)
    report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP);
  if (HANDLE source = g_reportEvent ? RegisterEventSourceA(nullptr, "QvnTest") : nullptr) {
    std::string text = std::string(argv[0]) + " running";
    const char *strings[] = {text.c_str()};
    ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
  }
  WaitForSingleObject(g_endEvent, INFINITE);
  report(SERVICE_STOPPED);
}

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (g_neverEnd)
    return TRUE;
  if (event != CTRL_C_EVENT)
    return FALSE;
  SetEvent(g_endEvent);
  Sleep(INFINITE); // the main thread ends the process
  return TRUE;
}

int runClient() {
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::FILE *out = std::fopen("client-run.txt", "wb");
  if (!out)
    return 2;
  std::fprintf(out, "%s\r\n%s\r\n%lu\r\n", GetCommandLineA(), cwd, GetCurrentProcessId());
  std::fflush(out);
  if (g_exitAtOnce)
    return 7;
  WaitForSingleObject(g_endEvent, INFINITE);
  Sleep(2000); // a clean end that takes its time
  std::fprintf(out, "asked to end by Ctrl+C\r\n");
  std::fclose(out);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  parse(argc, argv);
  g_endEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (g_exitAtOnce || g_ctrlCOnly || g_neverEnd)
    return runClient();
  Sleep(g_startDelayMs);
  char emptyName[] = ""; // own process: the real name arrives as argv[0]
  SERVICE_TABLE_ENTRYA table[] = {{emptyName, serviceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherA(table))
    return 0;
  // Not started by the service manager: a host started it as its client, as the demo's does.
  return GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? runClient() : 2;
}
