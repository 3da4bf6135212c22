#include "scheduler/service_runtime.h"

#include "common/names.h"
#include "common/unique_handle.h"
#include "config/ini_reader.h"
#include "install/binary_guard.h"
#include "log/diagnostic_log.h"
#include "log/event_log.h"
#include "scheduler/hold_store.h"
#include "scheduler/schedule_config.h"
#include "scheduler/schedule_watch.h"
#include "scheduler/scheduler.h"
#include "scheduler/system_clock.h"
#include "scm/service_manager_connection.h"
#include "scm/status_reporter.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

// A pending state lasts at most the one start or stop under way, and the
// manager waits up to 30 s for a service that never connects.
const DWORD kPendingWaitHintMs = 35000;

// The control handler only records requests here and signals g_wake; it
// never logs and takes no lock, as the manager waits for it. The service
// thread acts on them and is the only one to report the status.
std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_pauseWanted{false};
std::atomic<bool> g_reloadRequested{false};
std::atomic<std::uint32_t> g_refusedControls{0}; // since the service thread last said so
// Made before the dispatcher runs and kept until the process ends, so the
// handler never signals a closed handle.
UniqueKernelHandle g_wake;

// The service thread's own. The type names both the own-process and the
// shared-process bit; a manager that refuses it gets a narrower one.
StatusReporter g_status({true, scm::kAcceptStop | scm::kAcceptPauseContinue |
                                   scm::kAcceptParamChange | scm::kAcceptPowerEvent |
                                   scm::kAcceptTimeChange});
bool g_refusalsToldThisCheck = false;

void reportStatus(DWORD state, DWORD waitHint = 0) { g_status.report(state, waitHint); }

DWORD WINAPI controlHandler(DWORD control, DWORD eventType, void *, void *) {
  switch (controlRequest(control, eventType)) {
  case ControlRequest::Stop:
    g_stopRequested = true;
    break;
  case ControlRequest::Pause:
    g_pauseWanted = true;
    break;
  case ControlRequest::Continue:
    g_pauseWanted = false;
    break;
  case ControlRequest::Reload:
    g_reloadRequested = true;
    break;
  case ControlRequest::Wake: // the wait is worked out again on every wake
    break;
  case ControlRequest::Nothing:
    return NO_ERROR;
  case ControlRequest::Refuse:
    ++g_refusedControls;
    SetEvent(g_wake.get());
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  SetEvent(g_wake.get());
  return NO_ERROR;
}

// Says that controls were refused, at most once per check whatever their
// number (any user may send them), unless flushing before the end.
void tellRefusedControls(bool flush = false) {
  if (g_refusalsToldThisCheck && !flush)
    return;
  std::uint32_t refused = g_refusedControls.exchange(0);
  if (refused == 0)
    return;
  g_log.writeLine("Unrecognized opcode", LogKind::Warning);
  g_log.writeLine(std::to_string(refused) +
                      " unrecognized control(s) refused since the last report",
                  LogKind::Record);
  g_refusalsToldThisCheck = true;
}

// A fresh connection for every query, start and stop: no handle is held
// between checks.
CheckActions serviceActions() {
  CheckActions actions;
  actions.queryState = [](const std::string &name) {
    Expected<std::uint32_t> state = ServiceManagerConnection().queryState(name.c_str());
    g_log.writeFailure(state.result());
    return state;
  };
  actions.startService = [](const std::string &name) {
    return ServiceManagerConnection().startService(name.c_str());
  };
  actions.stopService = [](const std::string &name) {
    return ServiceManagerConnection().stopService(name.c_str());
  };
  actions.runningDependents = [](const std::string &name) {
    std::vector<std::string> names;
    g_log.writeFailure(ServiceManagerConnection().listDependents(name.c_str(), true, names));
    return names;
  };
  actions.logLine = [](const std::string &line, LogKind kind) { g_log.writeLine(line, kind); };
  actions.logFailure = [](const Result &result) { g_log.writeFailure(result); };
  actions.logError = [](const std::string &context, std::uint32_t error) {
    g_log.writeError(context.c_str(), error);
  };
  actions.holdEnded = [](const std::string &name, const Hold &hold) {
    Result removed = removeHold(name, hold);
    if (!removed.failedWith(ERROR_FILE_NOT_FOUND)) // released or set anew meanwhile
      g_log.writeFailure(removed);
    g_log.writeLine(holdEndedLine(name, hold), LogKind::Information);
  };
  return actions;
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

// Loading Qvn.ini: the first load, a reload asked for, and a load tried
// again before each check while the file cannot be used.
struct LoadState {
  bool due = true;
  bool loadedOnce = false;
  bool failureLogged = false; // said once until a load succeeds
};

// How many findings one event shows; the log has them all.
const std::size_t kFindingsInEvent = 5;

// The findings and then more lines reach the file in one append (a large
// schedule has tens of thousands); the findings are one event, however many.
void logFindings(const std::vector<ScheduleFinding> &findings, std::string more = "") {
  std::vector<std::string> lines;
  bool problem = false;
  for (const ScheduleFinding &finding : findings) {
    lines.push_back(finding.logLine);
    problem = problem || finding.isProblem();
  }
  std::string text;
  for (const std::string &line : lines)
    text += line + "\n";
  g_log.write((text + more).c_str());
  if (!lines.empty())
    g_log.writeEvent(problem ? LogKind::Warning : LogKind::Information,
                     eventDigest(lines, kFindingsInEvent, "schedule findings", kLogPath));
}

void logLoad(const LoadedSchedule &loaded, bool reload) {
  std::string points;
  for (const ServiceRecord &record : loaded.records)
    for (const std::string &line : pointLines(record))
      points += line + "\n";
  logFindings(loaded.findings, points);
  g_log.writeLine(std::string(reload ? "Schedule reloaded, " : "Schedule loaded, ") +
                      std::to_string(loaded.records.size()) + " services, " +
                      std::to_string(loaded.points()) + " points",
                  LogKind::Information);
}

DWORD WINAPI workThread(void *work) {
  return (*static_cast<const std::function<bool()> *>(work))() ? 1 : 0;
}

// Runs work on a thread of its own while this thread reports a stop or
// pause as pending the moment it is asked for (a start that blocks, or a
// large load, never holds the report back), and a continue before the pause
// took hold as running again. Work's answer: false when it ended early.
bool whileReportingPending(const std::function<bool()> &work) {
  UniqueKernelHandle thread(
      CreateThread(nullptr, 0, workThread, const_cast<std::function<bool()> *>(&work), 0, nullptr));
  if (!thread) {
    g_log.writeLastError("CreateThread()");
    return work();
  }
  HANDLE events[] = {thread.get(), g_wake.get()};
  while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    DWORD state = g_status.state();
    if (g_stopRequested) {
      if (state != SERVICE_STOP_PENDING)
        reportStatus(SERVICE_STOP_PENDING, kPendingWaitHintMs);
    } else if (g_pauseWanted) {
      if (state == SERVICE_RUNNING)
        reportStatus(SERVICE_PAUSE_PENDING, kPendingWaitHintMs);
    } else if (state == SERVICE_PAUSE_PENDING) {
      // Continued before the pause took hold: the work goes on.
      reportStatus(SERVICE_RUNNING);
    }
  }
  WaitForSingleObject(thread.get(), INFINITE);
  DWORD whole = 0;
  GetExitCodeThread(thread.get(), &whole);
  return whole == 1;
}

// Whether Windows refuses to start the service: its start type is disabled.
bool startsDisabled(const std::string &name) {
  ServiceConfiguration config;
  return ServiceManagerConnection().queryConfiguration(name.c_str(), config) &&
         config.startType == SERVICE_DISABLED;
}

// A schedule file that cannot be used keeps the records loaded before, but
// the holds are read again: a -hold or -release was told it acts at once.
void reattachHolds(Scheduler &scheduler, bool sayFindings) {
  LoadedSchedule kept = withoutHolds(scheduler.records());
  attachStoredHolds(kept);
  if (sayFindings && !kept.findings.empty())
    logFindings(kept.findings);
  scheduler.adopt(std::move(kept.records));
}

// Says once, until a load succeeds, that the schedule stays as it was.
void tellNotLoaded(const Scheduler &scheduler, LoadState &state) {
  g_log.writeLine("Schedule not loaded: " + std::to_string(scheduler.size()) +
                      " services stay as loaded before; tried again at each check",
                  LogKind::Warning);
  state.failureLogged = true;
}

// Reads Qvn.ini into the scheduler. A stop, or a change of the pause wish,
// ends the read between sections; it is then tried again later. A file
// that cannot be used leaves the schedule as it was, said once.
void loadIntoScheduler(Scheduler &scheduler, LoadState &state, ScheduleWatch &watch) {
  // Whoever may change Qvn.ini decides which services SYSTEM stops.
  if (std::optional<Refusal> refusal = untrustedPlace({profilePath(kScheduleFile)})) {
    std::string problem = problemLogged(*refusal);
    reattachHolds(scheduler, !state.failureLogged);
    if (!state.failureLogged) {
      g_log.writeLine(problem + (refusal->complete ? "" : ": not loaded"), LogKind::Warning);
      tellNotLoaded(scheduler, state);
    }
    return;
  }
  const bool paused = g_pauseWanted;
  auto goOn = [paused] { return !g_stopRequested && g_pauseWanted == paused; };
  LoadedSchedule loaded;
  watch.reading();
  bool whole = whileReportingPending([&] {
    Expected<IniFile> file = readIniFile(kScheduleFile, goOn);
    if (!file)
      return false;
    loaded = loadSchedule(*file, kSchedulerService);
    if (!loaded.usable)
      return true;
    // One list of the installed services spares a query per section of a
    // service that does not exist.
    std::vector<std::string> installed;
    bool listed = static_cast<bool>(ServiceManagerConnection().listServices(installed));
    auto isInstalled = [&](const std::string &name) {
      return !listed || std::any_of(installed.begin(), installed.end(),
                                    [&](const std::string &s) { return sameServiceName(s, name); });
    };
    checkStartTypes(loaded, [&](const std::string &name) {
      return !g_stopRequested && isInstalled(name) && startsDisabled(name);
    });
    return true;
  });
  if (!whole || g_stopRequested)
    return;
  if (!loaded.usable) {
    reattachHolds(scheduler, !state.failureLogged);
    if (!state.failureLogged) {
      logFindings(loaded.findings);
      tellNotLoaded(scheduler, state);
    }
    return;
  }
  attachStoredHolds(loaded);
  logLoad(loaded, state.loadedOnce);
  scheduler.adopt(std::move(loaded.records));
  state = LoadState{false, true, false};
}

// Runs before every check, on the service thread: the log may have grown
// past its limit since, whoever made it grow.
void beforeCheck() { g_log.rotateIfLarge(); }

// One pass, the pending state reported meanwhile; it ends at the next
// record on a stop or pause. False when it ended early.
bool runPass(Scheduler &scheduler) {
  beforeCheck();
  return whileReportingPending(
      [&] { return scheduler.check([] { return !g_stopRequested && !g_pauseWanted; }); });
}

// Checks at once, then whenever the next point's minute begins or the
// interval has passed, until a stop is requested. A reload happens even
// while paused; its check waits for the continue, which checks at once.
void runChecks(Scheduler &scheduler, ScheduleWatch &watch) {
  bool checkDue = true;
  LoadState load;
  for (;;) {
    tellRefusedControls();
    if (g_stopRequested)
      return;
    bool reload = g_reloadRequested.exchange(false);
    if (reload || (load.due && checkDue && !g_pauseWanted)) {
      load.due = true;
      load.failureLogged = load.failureLogged && !reload; // an asked reload always answers
      loadIntoScheduler(scheduler, load, watch);
      // An asked reload checks even when the file could not be used.
      checkDue = checkDue || reload || !load.due;
      if (g_stopRequested) // asked during the load: no check starts
        continue;
    }
    bool paused = g_pauseWanted;
    DWORD state = paused ? SERVICE_PAUSED : SERVICE_RUNNING;
    if (g_status.state() != state) {
      reportStatus(state);
      checkDue = checkDue || !paused;
    }
    if (paused) {
      WaitForSingleObject(g_wake.get(), INFINITE);
    } else if (checkDue) {
      checkDue = !runPass(scheduler);
      g_refusalsToldThisCheck = false;
    } else {
      DWORD wait = scheduler.waitMs();
      checkDue = wait == 0 || WaitForSingleObject(g_wake.get(), wait) == WAIT_TIMEOUT;
    }
  }
}

void WINAPI serviceMain(DWORD argc, LPSTR *argv) {
  // Before the control handler exists, so no other thread logs yet.
  g_log.setEventSink(eventLogSink());
  if (Result attached = g_status.attach(kSchedulerService, controlHandler, nullptr); !attached) {
    g_log.writeFailure(attached);
    return;
  }
  g_log.writeLine("Scheduler started", LogKind::Information);
  reportStatus(SERVICE_RUNNING);
  Scheduler scheduler(serviceActions(), systemClock(), settingsFrom(argc, argv));
  {
    // An edited or pushed Qvn.ini is reloaded as a paramchange reloads it.
    ScheduleWatch watch([] {
      g_reloadRequested = true;
      SetEvent(g_wake.get());
    });
    runChecks(scheduler, watch);
  }
  tellRefusedControls(true);
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
  SERVICE_TABLE_ENTRYA table[] = {{const_cast<char *>(kSchedulerService), serviceMain},
                                  {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) {
    g_log.writeLastError("StartServiceCtrlDispatcher()");
    return false;
  }
  return true;
}
