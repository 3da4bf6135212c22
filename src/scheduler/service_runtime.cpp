#include "scheduler/service_runtime.h"

#include "log/diagnostic_log.h"
#include "scheduler/check_pass.h"
#include "scheduler/schedule_file.h"
#include "scm/service_manager_connection.h"

#include <windows.h>

#include <atomic>
#include <ctime>
#include <mutex>

#ifndef QVN_CHECK_INTERVAL_MS
#define QVN_CHECK_INTERVAL_MS 600000
#endif

namespace {

std::list<ServiceRecord> g_serviceRecords;

const DWORD kCheckIntervalMs = QVN_CHECK_INTERVAL_MS;
// How long a stop may take: the check under way finishes first, and one
// start or stop of a service can keep the manager busy for a while.
const DWORD kStopWaitHintMs = 30000;

char kServiceName[] = "Qvn";

// Shared between the dispatcher's thread (control handler) and the service
// thread: the status block only under the lock, the flags atomic.
std::mutex g_statusLock;
SERVICE_STATUS g_status;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
std::atomic<bool> g_running{false};
std::atomic<bool> g_paused{false};
// Wakes the service thread early: on stop, and on continue (check at once).
HANDLE g_wake = nullptr;

// Reports the status block; the caller holds the lock. The type names both
// the own-process and the shared-process bit; a manager that refuses that
// combination gets the own-process type, which is what "Qvn" is registered as.
void sendStatusLocked() {
  if (SetServiceStatus(g_statusHandle, &g_status))
    return;
  if (GetLastError() == ERROR_INVALID_DATA && g_status.dwServiceType != SERVICE_WIN32_OWN_PROCESS) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    if (SetServiceStatus(g_statusHandle, &g_status))
      return;
  }
  g_log.writeLastError("SetServiceStatus()");
}

// Changes the reported state (and what goes with it) and reports it.
void reportStatus(DWORD state, DWORD waitHint = 0) {
  std::lock_guard<std::mutex> lock(g_statusLock);
  g_status.dwCurrentState = state;
  g_status.dwWaitHint = waitHint;
  g_status.dwCheckPoint = 0;
  // While stopping, nothing else is accepted: a pause then would report a
  // state the service is not in.
  g_status.dwControlsAccepted = (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED)
                                    ? 0
                                    : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
  sendStatusLocked();
}

void reportCurrentStatus() {
  std::lock_guard<std::mutex> lock(g_statusLock);
  sendStatusLocked();
}

void WINAPI controlHandler(DWORD control) {
  switch (control) {
  case SERVICE_CONTROL_STOP:
    g_running = false;
    reportStatus(SERVICE_STOP_PENDING, kStopWaitHintMs);
    SetEvent(g_wake);
    return;
  case SERVICE_CONTROL_PAUSE:
    g_paused = true;
    reportStatus(SERVICE_PAUSED);
    return;
  case SERVICE_CONTROL_CONTINUE:
    g_paused = false;
    reportStatus(SERVICE_RUNNING);
    SetEvent(g_wake);
    return;
  case SERVICE_CONTROL_INTERROGATE:
    break;
  default:
    g_log.writeLine("Unrecognized opcode");
    break;
  }
  reportCurrentStatus();
}

void WINAPI serviceMain(DWORD, LPSTR *) {
  {
    std::lock_guard<std::mutex> lock(g_statusLock);
    g_status = SERVICE_STATUS{};
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
    g_status.dwCurrentState = SERVICE_START_PENDING;
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
  }
  g_statusHandle = RegisterServiceCtrlHandlerA(kServiceName, controlHandler);
  if (!g_statusHandle) {
    g_log.writeLastError("RegisterServiceCtrlHandler()");
    return;
  }
  UniqueKernelHandle wake(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!wake) {
    g_log.writeLastError("CreateEvent()");
    reportStatus(SERVICE_STOPPED);
    return;
  }
  g_wake = wake.get();
  g_running = true;
  reportStatus(SERVICE_RUNNING);

  loadScheduleFile("Qvn.ini", g_serviceRecords,
                   [](const std::string &line) { g_log.writeLine(line); });
  // A check runs at once, then every interval; a continue wakes the thread
  // for a check at once, a stop to end the loop.
  while (g_running) {
    if (!g_paused) {
      g_log.rotateIfLarge();
      checkAll();
#ifdef QVN_TRACE_CHECKS
      g_log.writeLine("Check done"); // test builds only: lets a soak count checks
#endif
    }
    WaitForSingleObject(g_wake, g_paused ? INFINITE : kCheckIntervalMs);
  }
  reportStatus(SERVICE_STOPPED);
  g_wake = nullptr;
}

} // namespace

void checkAll() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm *broken = std::localtime(&now))
    local = *broken;
  CheckActions actions;
  // A fresh connection for every query, start and stop: no handle is held
  // between checks.
  actions.queryState = [](const std::string &name) {
    return ServiceManagerConnection().queryState(name.c_str());
  };
  actions.startService = [](const std::string &name) {
    return ServiceManagerConnection().startService(name.c_str());
  };
  actions.stopService = [](const std::string &name) {
    return ServiceManagerConnection().stopService(name.c_str());
  };
  actions.logLine = [](const std::string &line) { g_log.writeLine(line); };
  checkRecordsAt(g_serviceRecords, minuteOfWeek(local.tm_wday, local.tm_hour, local.tm_min),
                 actions);
}

bool runDispatcher() {
  SERVICE_TABLE_ENTRYA table[] = {{kServiceName, serviceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) {
    g_log.writeLastError("StartServiceCtrlDispatcher()");
    return false;
  }
  return true;
}
