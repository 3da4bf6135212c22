#include "scheduler/service_runtime.h"

#include "common/unique_handle.h"
#include "log/diagnostic_log.h"
#include "log/event_log.h"
#include "scheduler/schedule_file.h"
#include "scheduler/scheduler.h"
#include "scm/service_manager_connection.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

// A pending state lasts at most the one start or stop under way, and the
// manager waits up to 30 s for a service that never connects.
const DWORD kPendingWaitHintMs = 35000;

char kServiceName[] = "Qvn";

// The control handler only records requests here and signals g_wake; the
// service thread acts on them and is the only one to report the status.
std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_pauseWanted{false};
std::atomic<bool> g_reloadRequested{false};
// Made before the dispatcher runs and kept until the process ends, so the
// handler never signals a closed handle.
UniqueKernelHandle g_wake;

// The service thread's own.
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status;
DWORD g_timeChangeAccepted = SERVICE_ACCEPT_TIMECHANGE;

// Reports the status block. The type names both the own-process and the
// shared-process bit; a manager that refuses that combination or the
// time-change control (older systems) gets the own-process type, which is
// what "Qvn" is registered as, and no time-change control.
void sendStatus() {
  if (SetServiceStatus(g_statusHandle, &g_status))
    return;
  bool narrower = g_status.dwServiceType != SERVICE_WIN32_OWN_PROCESS ||
                  (g_status.dwControlsAccepted & SERVICE_ACCEPT_TIMECHANGE);
  if (GetLastError() == ERROR_INVALID_DATA && narrower) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_timeChangeAccepted = 0;
    g_status.dwControlsAccepted &= ~DWORD{SERVICE_ACCEPT_TIMECHANGE};
    if (SetServiceStatus(g_statusHandle, &g_status))
      return;
  }
  g_log.writeLastError("SetServiceStatus()");
}

// Changes the reported state (and what goes with it) and reports it.
void reportStatus(DWORD state, DWORD waitHint = 0) {
  g_status.dwCurrentState = state;
  g_status.dwWaitHint = waitHint;
  g_status.dwCheckPoint = waitHint ? 1 : 0;
  // While stopping, nothing else is accepted: a pause then would report a
  // state the service is not in.
  g_status.dwControlsAccepted = (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED)
                                    ? 0
                                    : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE |
                                          SERVICE_ACCEPT_PARAMCHANGE | g_timeChangeAccepted;
  sendStatus();
}

DWORD WINAPI controlHandler(DWORD control, DWORD, void *, void *) {
  switch (control) {
  case SERVICE_CONTROL_STOP:
    g_stopRequested = true;
    break;
  case SERVICE_CONTROL_PAUSE:
    g_pauseWanted = true;
    break;
  case SERVICE_CONTROL_CONTINUE:
    g_pauseWanted = false;
    break;
  case SERVICE_CONTROL_PARAMCHANGE:
    g_reloadRequested = true;
    break;
  case SERVICE_CONTROL_INTERROGATE:
  case SERVICE_CONTROL_TIMECHANGE: // the wait is worked out again on every wake
    break;
  default:
    g_log.writeLine("Unrecognized opcode");
    break;
  }
  SetEvent(g_wake.get());
  return NO_ERROR;
}

void logLine(const std::string &line) { g_log.writeLine(line); }
void logLineOfKind(const std::string &line, LogKind kind) { g_log.writeLine(line, kind); }

// A fresh connection for every query, start and stop: no handle is held
// between checks.
CheckActions serviceActions() {
  CheckActions actions;
  actions.queryState = [](const std::string &name) {
    return ServiceManagerConnection().queryState(name.c_str());
  };
  actions.startService = [](const std::string &name) {
    return ServiceManagerConnection().startService(name.c_str());
  };
  actions.stopService = [](const std::string &name) {
    return ServiceManagerConnection().stopService(name.c_str());
  };
  actions.logLine = logLineOfKind;
  return actions;
}

ClockReading localClock() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {minuteOfWeek(t.wDayOfWeek, t.wHour, t.wMinute), t.wSecond * 1000u + t.wMilliseconds,
          GetTickCount()};
}

// The start arguments follow the service name; the automatic start at boot
// gives none, and so the release settings.
SchedulerSettings settingsFrom(DWORD argc, LPSTR *argv) {
  std::vector<std::string> args;
  for (DWORD i = 1; i < argc && argv; ++i)
    args.emplace_back(argv[i] ? argv[i] : "");
  std::vector<std::string> ignored;
  SchedulerSettings settings = parseStartArguments(args, ignored);
  for (const std::string &arg : ignored)
    g_log.writeLine("Ignoring start argument " + arg, LogKind::Warning);
  return settings;
}

void loadSchedule(Scheduler &scheduler) {
  std::list<ServiceRecord> records;
  loadScheduleFile("Qvn.ini", records, logLine);
  scheduler.adopt(std::move(records));
}

// Runs before every check, on the service thread: the log may have grown
// past its limit since, whoever made it grow.
void beforeCheck() { g_log.rotateIfLarge(); }

DWORD WINAPI passThread(void *scheduler) {
  bool whole =
      static_cast<Scheduler *>(scheduler)->check([] { return !g_stopRequested && !g_pauseWanted; });
  return whole ? 1 : 0;
}

// One pass, run on a thread of its own so that this thread can report a
// stop or pause as pending at once while a start of the pass blocks; the
// pass ends at the next record. False when it ended early.
bool runPass(Scheduler &scheduler) {
  beforeCheck();
  UniqueKernelHandle pass(CreateThread(nullptr, 0, passThread, &scheduler, 0, nullptr));
  if (!pass) {
    g_log.writeLastError("CreateThread()");
    return passThread(&scheduler) != 0;
  }
  HANDLE events[] = {pass.get(), g_wake.get()};
  while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    if (g_stopRequested && g_status.dwCurrentState != SERVICE_STOP_PENDING)
      reportStatus(SERVICE_STOP_PENDING, kPendingWaitHintMs);
    else if (!g_stopRequested && g_pauseWanted && g_status.dwCurrentState == SERVICE_RUNNING)
      reportStatus(SERVICE_PAUSE_PENDING, kPendingWaitHintMs);
  }
  WaitForSingleObject(pass.get(), INFINITE);
  DWORD whole = 0;
  GetExitCodeThread(pass.get(), &whole);
  return whole == 1;
}

// Checks at once, then whenever the next point's minute begins or the
// interval has passed, until a stop is requested. A reload happens even
// while paused; its check waits for the continue, which checks at once.
void runChecks(Scheduler &scheduler) {
  bool checkDue = true;
  for (;;) {
    if (g_stopRequested)
      return;
    if (g_reloadRequested.exchange(false)) {
      loadSchedule(scheduler);
      g_log.writeLine("Schedule reloaded, " + std::to_string(scheduler.size()) + " services",
                      LogKind::Information);
      checkDue = true;
    }
    bool paused = g_pauseWanted;
    DWORD state = paused ? SERVICE_PAUSED : SERVICE_RUNNING;
    if (g_status.dwCurrentState != state) {
      reportStatus(state);
      checkDue = checkDue || !paused;
    }
    if (paused) {
      WaitForSingleObject(g_wake.get(), INFINITE);
    } else if (checkDue) {
      checkDue = !runPass(scheduler);
    } else {
      DWORD wait = scheduler.waitMs();
      checkDue = wait == 0 || WaitForSingleObject(g_wake.get(), wait) == WAIT_TIMEOUT;
    }
  }
}

void WINAPI serviceMain(DWORD argc, LPSTR *argv) {
  // Before the control handler exists, so no other thread logs yet.
  g_log.setEventSink(eventLogSink());
  g_status = SERVICE_STATUS{};
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
  g_status.dwCurrentState = SERVICE_START_PENDING;
  g_statusHandle = RegisterServiceCtrlHandlerExA(kServiceName, controlHandler, nullptr);
  if (!g_statusHandle) {
    g_log.writeLastError("RegisterServiceCtrlHandler()");
    return;
  }
  g_log.writeLine("Scheduler started", LogKind::Information);
  reportStatus(SERVICE_RUNNING);
  Scheduler scheduler(serviceActions(), localClock, settingsFrom(argc, argv));
  loadSchedule(scheduler);
  runChecks(scheduler);
  g_log.writeLine("Scheduler stopped", LogKind::Information);
  reportStatus(SERVICE_STOPPED);
}

} // namespace

bool runDispatcher() {
  g_wake.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!g_wake) {
    g_log.writeLastError("CreateEvent()");
    return false;
  }
  SERVICE_TABLE_ENTRYA table[] = {{kServiceName, serviceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) {
    g_log.writeLastError("StartServiceCtrlDispatcher()");
    return false;
  }
  return true;
}
