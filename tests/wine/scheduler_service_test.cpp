// The real Qvn.exe as the service "Qvn": its first check and its events, a stop or pause
// ending a check blocked by services that start slowly, points acted on at
// their minute despite a flood of unknown controls, a reload, a stop refused for now and
// retried, a schedule that cannot be used (and what its load finds) or is large, events that
// never flood while another process holds the log's lock.
#include "common/unique_handle.h"
#include "scheduler/calendar.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <list>

using namespace qvntest;

namespace {

const std::string kIni = windowsDir() + "\\Qvn.ini";

int localMinute() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return minuteOfWeek(t);
}

std::string section(const std::string &name, const std::string &keys = "") {
  return "[" + name + "]\r\n" + keys;
}

class SchedulerFaults : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(removeService("Qvn"));
    ASSERT_TRUE(registerScheduler());
  }
  void TearDown() override {
    removeService("Qvn");
    DeleteFileA(kIni.c_str());
  }
  // A test service with these switches, removed when the test ends.
  std::string service(const char *prefix, const std::string &switches = "",
                      DWORD startType = SERVICE_DEMAND_START) {
    services_.emplace_back(uniqueServiceName(prefix));
    EXPECT_TRUE(registerTestService(services_.back().name(), switches, startType));
    return services_.back().name();
  }
  // Writes the schedule and starts "Qvn"; the tick count of the start.
  DWORD startQvn(const std::string &schedule, const std::string &arguments = "") {
    EXPECT_TRUE(writeFile(kIni, schedule));
    DWORD start = GetTickCount();
    EXPECT_EQ(startServiceWithArgs("Qvn", arguments), DWORD(ERROR_SUCCESS));
    return start;
  }
  // Sends a stop (stop-pending within pendingMs when given); the time until the process ended.
  DWORD stopQvn(DWORD timeoutMs, DWORD pendingMs = 0) {
    DWORD pid = serviceProcessId("Qvn"), start = GetTickCount();
    EXPECT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(!pendingMs || waitForServiceState("Qvn", SERVICE_STOP_PENDING, pendingMs));
    EXPECT_TRUE(waitForProcessEnd(pid, timeoutMs));
    std::printf("stop to process gone: %lu ms\n", GetTickCount() - start);
    return GetTickCount() - start;
  }
  bool logged(const std::string &text, DWORD timeoutMs = 3000) {
    return waitFor([&] { return log_.contains(text); }, timeoutMs);
  }

  std::list<ServiceCleanup> services_;
  FileTail log_;
};

TEST_F(SchedulerFaults, FirstCheckAppliesTheScheduleAndStopEndsTheProcess) {
  const std::string run = service("QvnRun"), stop = service("QvnStop");
  const std::string missing = uniqueServiceName("QvnMissing");
  FileTail events(kWineEventLog);
  ASSERT_EQ(startServiceWithArgs(stop), DWORD(ERROR_SUCCESS));
  // Started now and stopped in two hours; the other one the other way round.
  int now = localMinute();
  std::string at = schedulePoint(now), later = schedulePoint(now + 120);
  startQvn(section(run, lines({"Start=" + at, "Stop=" + later})) +
           section(stop, lines({"Stop=" + at, "Start=" + later})) + section(missing));
  // Resume from sleep arrives as a power event: accepted with the others.
  EXPECT_EQ(serviceStatus("Qvn").dwControlsAccepted,
            DWORD(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_PARAMCHANGE |
                  SERVICE_ACCEPT_POWEREVENT | SERVICE_ACCEPT_TIMECHANGE));
  EXPECT_TRUE(waitForServiceState(run, SERVICE_RUNNING));
  EXPECT_TRUE(waitForServiceState(stop, SERVICE_STOPPED));
  for (const std::string &line :
       {"Start at " + std::to_string(now), "Starting service " + run, "Stopping service " + stop})
    EXPECT_TRUE(logged(line + "\r\n")) << line;
  // A stop ends the ten-minute wait at once.
  EXPECT_LT(stopQvn(3000), 3000u);
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_STOPPED, 1000));
  EXPECT_EQ(serviceStatus("Qvn").dwWin32ExitCode, DWORD(NO_ERROR));

  // The same as events: actions as information, a failure as an error; points stay in the file.
  if (!serviceEventsSeen())
    return;
  std::string seen = events.text();
  for (const std::string &text :
       {"Starting service " + run, "Stopping service " + stop, "Starting service " + missing,
        std::string("Scheduler started"), std::string("Scheduler stopped")})
    EXPECT_NE(seen.find(wineEvent("trace", text) + "\"\n"), std::string::npos) << text << seen;
  EXPECT_NE(seen.find(wineEvent("err", "OpenService\r\n  ")), std::string::npos) << seen;
  EXPECT_EQ(seen.find("Start at"), std::string::npos) << seen;
}

// Three services that take 6 s each to start. A pause at 2 s and a continue at 3 s: running
// again at once, and the check goes on. A pause while the second start blocks: pending until it
// is done, then paused. A stop while the third blocks ends the process once that start is done,
// and starts nothing more.
TEST_F(SchedulerFaults, StopAndPauseEndACheckAtTheRecordUnderWay) {
  std::string slow[3], schedule;
  for (std::string &name : slow)
    schedule += section(name = service("QvnSlow", "--start-delay=6000"));
  DWORD start = startQvn(schedule);
  ASSERT_TRUE(logged("Starting service " + slow[0]));
  auto sleepUntil = [&](DWORD ms) { Sleep(std::max(0L, long(ms) - long(GetTickCount() - start))); };
  sleepUntil(2000);
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSE_PENDING, 900));
  sleepUntil(3000);
  DWORD continued = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_CONTINUE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING, 1500));
  std::printf("continue to running: %lu ms\n", GetTickCount() - continued);
  EXPECT_LT(GetTickCount() - continued, 1500u);
  ASSERT_TRUE(logged("Starting service " + slow[1], 12000));
  log_.mark();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSE_PENDING, 2000));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSED, 12000));
  EXPECT_FALSE(log_.contains("Starting service")) << log_.text();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_CONTINUE), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(logged("Starting service " + slow[2]));
  log_.mark();
  EXPECT_LT(stopQvn(12000, 2000), 12000u);
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_STOPPED, 1000));
  EXPECT_FALSE(log_.contains("Starting service")) << log_.text();
}

TEST_F(SchedulerFaults, PointsActAtTheirMinuteAndAReloadResendsNothing) {
  const std::string timed = service("QvnTimed"), dropped = service("QvnDropped"),
                    added = service("QvnAdded");
  // The point at least 20 s ahead, so the reload comes first.
  SYSTEMTIME t;
  GetLocalTime(&t);
  int at = minuteOfWeek(t) + (t.wSecond < 40 ? 1 : 2);
  std::string timedSection = section(timed, lines({"Stop=" + schedulePoint(at - 60),
                                                   "Start=" + schedulePoint(at), "HolidayAs=-"}));
  startQvn(timedSection + section(dropped, "ForceStart=y\r\n"));
  ASSERT_TRUE(waitForServiceState(dropped, SERVICE_RUNNING));
  ASSERT_TRUE(logged("Stopping service " + timed));
  // Reload: "timed" was stopped already, "dropped" is no longer listed, "added" starts at once:
  // today is a holiday of every service, run as Sunday, its only day (a Sunday shows nothing).
  ASSERT_TRUE(writeFile(
      kIni, timedSection + section(added, "Start=0:0000\r\nStop=1:0000\r\n") +
                section("Qvn", "Holidays=" + dateText({t.wYear, t.wMonth, t.wDay}) + "\r\n")));
  log_.mark();
  DWORD reload = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PARAMCHANGE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState(added, SERVICE_RUNNING, 5000));
  std::printf("paramchange to the holiday's service running: %lu ms\n", GetTickCount() - reload);
  EXPECT_TRUE(logged("Schedule reloaded, 2 services"));
  ASSERT_EQ(controlService(dropped, SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  // Any user may send user-defined controls: 500 leave a handful of lines, the point on time.
  FileTail flood;
  for (DWORD i = 0; i < 500; ++i)
    controlService("Qvn", 128 + i % 128);
  ASSERT_TRUE(waitForServiceState(timed, SERVICE_RUNNING, 150000));
  GetLocalTime(&t);
  int delay = (minuteOfWeek(t) - at) * 60000 + t.wSecond * 1000 + t.wMilliseconds;
  std::printf("point to service running: %d ms\n", delay);
  EXPECT_LT(delay, 5000);
  EXPECT_EQ(serviceState(dropped), DWORD(SERVICE_STOPPED));
  EXPECT_FALSE(log_.contains("Stopping service") || log_.contains(dropped)) << log_.text();
  EXPECT_GE(count(flood.text(), "Unrecognized opcode\r\n"), 1u) << flood.text();
  EXPECT_LE(count(flood.text(), "\n"), 5u) << flood.text();
}

// A stop refused because the service cannot take it yet (start pending, accepting a stop only
// after 10 s, as one Windows is still starting at boot) is tried again 30 s later and succeeds;
// one refused by a running service that never accepts it fails for good. Each failure is
// logged once.
TEST_F(SchedulerFaults, AStopRefusedForNowIsRetriedUntilItSucceeds) {
  const std::string late = service("QvnLate", "--stop-after=10000");
  const std::string never = service("QvnNever", "--no-stop");
  ASSERT_EQ(startServiceWithArgs(late), DWORD(ERROR_SUCCESS));
  ASSERT_EQ(startServiceWithArgs(never), DWORD(ERROR_SUCCESS));
  startQvn(section(late, "Stop=" + schedulePoint(localMinute()) + "\r\n") +
           section(never, "Stop=" + schedulePoint(localMinute()) + "\r\n"));
  ASSERT_TRUE(logged("Stopping service " + late));
  DWORD point = GetTickCount();
  EXPECT_TRUE(logged("Will try again every 30 s to stop service " + late));
  EXPECT_EQ(serviceState(late), DWORD(SERVICE_START_PENDING));
  ASSERT_TRUE(waitForServiceState(late, SERVICE_STOPPED, 40000));
  std::printf("first check to the retried stop done: %lu ms\n", GetTickCount() - point);
  EXPECT_GT(GetTickCount() - point, 25000u);
  EXPECT_TRUE(logged("Stopped service " + late + " on retry"));
  EXPECT_EQ(count(log_.text(), "ControlService\r\n"), 2u) << log_.text();
  EXPECT_FALSE(log_.contains("to stop service " + never)) << log_.text();
  EXPECT_EQ(serviceState(never), DWORD(SERVICE_RUNNING));
}

// Held by another program at start, the file is tried again at each check; a reload while it
// is held, or when anyone may change it, keeps what was loaded.
TEST_F(SchedulerFaults, AScheduleThatCannotBeUsedIsKeptAndTriedAgain) {
  const std::string kept = service("QvnKept"), off = service("QvnOff", "", SERVICE_DISABLED);
  auto hold = [] {
    return CreateFileA(kIni.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  ASSERT_TRUE(writeFile(kIni, "\xEF\xBB\xBFStart=0:0000\r\n" +
                                  section(kept, "Start=0:0000\r\nForceStart=y\r\n") +
                                  section(off, "Stop=1:0800\r\nForceStart=y\r\n")));
  UniqueKernelHandle held(hold());
  ASSERT_EQ(startServiceWithArgs("Qvn", "/interval-ms=300"), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(logged("Schedule file " + kIni + " cannot be read: "));
  EXPECT_TRUE(logged("Schedule not loaded: 0 services stay as loaded before; tried again at "
                     "each check\r\n"));
  Sleep(700);
  EXPECT_EQ(serviceState(kept), DWORD(SERVICE_STOPPED));
  held.reset();
  EXPECT_TRUE(waitForServiceState(kept, SERVICE_RUNNING, 5000));
  // What the load finds reaches the log (each finding: the unit tests).
  for (const std::string &line : {"Schedule file " + kIni + " starts with a UTF-8 byte-order mark",
                                  "Service " + off + " is disabled: Windows will not start it",
                                  std::string("Schedule loaded, 2 services, 2 points\r\n")})
    EXPECT_TRUE(logged(line)) << line;
  // Checking every ten minutes: a reload while the file is held still checks at once, and puts
  // the forced service stopped by hand back.
  stopQvn(5000);
  log_.mark();
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(logged("Starting service " + kept));
  held.reset(hold());
  ASSERT_EQ(controlService(kept, SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState(kept, SERVICE_STOPPED));
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PARAMCHANGE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(logged("Schedule not loaded: 2 services stay as loaded before"));
  EXPECT_TRUE(waitForServiceState(kept, SERVICE_RUNNING, 5000));
  // One anyone may change is not loaded either.
  held.reset();
  ASSERT_TRUE(setAccessList(kIni, "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;WD)"));
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PARAMCHANGE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(logged(kIni + " can be changed by Everyone: not loaded\r\n"));
  // A continue after an idle pause checks at once: the forced service stopped meanwhile is back.
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSED, 2000));
  ASSERT_EQ(controlService(kept, SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(kept, SERVICE_STOPPED));
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_CONTINUE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState(kept, SERVICE_RUNNING, 5000));
}

// One section of 100,000 start points (wanted running) loads and acts (how fast: the bench); a
// stop sent while 80,000 load is reported pending at once and ends the process within a second,
// loading nothing.
TEST_F(SchedulerFaults, ALargeSectionLoadsAndAStopDuringTheLoadIsPendingAtOnce) {
  const std::string big = service("QvnBig");
  auto schedule = [&](int points) {
    std::string start = "Start=";
    for (int i = 0; i < points; ++i)
      start += schedulePoint(i * 7) + ";";
    return section(big, start + "\r\n");
  };
  // Its 100,000 lines move the log to C:\\Qvn.log.old.
  auto loaded = [](int points) {
    return (readFile("C:\\Qvn.log.old") + readFile("C:\\Qvn.log"))
               .find("Schedule loaded, 1 services, " + std::to_string(points) + " points") !=
           std::string::npos;
  };
  startQvn(schedule(100000)); // returns once "Qvn" runs, before it loads
  ASSERT_TRUE(waitFor([&] { return loaded(100000); }, 20000));
  ASSERT_TRUE(waitForServiceState(big, SERVICE_RUNNING));
  stopQvn(5000);
  startQvn(schedule(80000));
  DWORD pid = serviceProcessId("Qvn"), stop = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  DWORD pending = 0; // when stop-pending was first seen; the load goes on meanwhile
  for (DWORD state; (state = serviceState("Qvn")) != SERVICE_STOPPED && !pending; Sleep(2))
    pending = state == SERVICE_STOP_PENDING ? GetTickCount() - stop + 1 : 0;
  EXPECT_TRUE(waitForProcessEnd(pid, 1000));
  std::printf("stop during an 80,000-point load: pending after %lu ms, process gone after %lu ms\n",
              pending - 1, GetTickCount() - stop);
  EXPECT_TRUE(pending > 0 && pending < 500) << pending;
  EXPECT_FALSE(loaded(80000));
}

// 500 ignored points and the disabled service are one event; a forced start of that service,
// failing at every check, is logged and sent once, not at every check. Any process may make and
// hold the log's lock: the service waits for it once, then logs without it, neither its start
// nor its stop delayed.
TEST_F(SchedulerFaults, EventsNeverFlood) {
  const std::string off = service("QvnOff", "", SERVICE_DISABLED);
  std::string bad = "Start=";
  for (int i = 0; i < 500; ++i)
    bad += "9:" + std::to_string(1000 + i) + ";";
  FileTail events(kWineEventLog);
  DeleteFileA("C:\\Qvn.log"); // no move aside during the count
  log_.mark();
  UniqueKernelHandle lock(CreateMutexA(nullptr, TRUE, "Global\\QvnLog:C:/QVN.LOG"));
  ASSERT_TRUE(lock && GetLastError() != ERROR_ALREADY_EXISTS);
  DWORD start =
      startQvn(section(off, lines({bad, "ForceStart=y"})), "/interval-ms=20 /trace-checks");
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING, 1000));
  std::printf("log lock held: running %lu ms after the start\n", GetTickCount() - start);
  EXPECT_LT(GetTickCount() - start, 1000u); // the start request waits for the first entry
  ASSERT_TRUE(waitFor([&] { return count(log_.text(), "Check done") >= 20; }, 10000));
  stopQvn(1000);
  const std::string text = log_.text();
  EXPECT_EQ(count(text, "Log lock held by another process"), 1u);
  std::printf("checks with the same failure: %zu, its entries: %zu\n", count(text, "Check done"),
              count(text, "StartService"));
  EXPECT_EQ(count(text, "Ignoring schedule entry"), 500u);
  EXPECT_EQ(count(text, "Starting service " + off), 1u) << text.substr(text.size() - 2000);
  EXPECT_EQ(count(text, "StartService"), 1u);
  if (!serviceEventsSeen())
    return;
  const std::string seen = events.text();
  EXPECT_EQ(count(seen, "501 schedule findings, the first 5 (all in C:"), 1u) << seen;
  // Warnings: the findings and the held lock.
  EXPECT_EQ(std::make_tuple(count(seen, "warn:eventlog"), count(seen, "err:eventlog")),
            std::make_tuple(2u, 1u))
      << seen;
}

// The local minute that many minutes ahead as "YYYY-MM-DD HH:MM", and the ms now is into its
// minute.
std::pair<std::string, DWORD> localMinuteAhead(int minutes) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  const std::int64_t minute = daysFromCivil({t.wYear, t.wMonth, t.wDay}) * 1440 + t.wHour * 60;
  return {localTimeText((minute + t.wMinute + minutes) * kMsPerMinute),
          DWORD(t.wSecond * 1000 + t.wMilliseconds)};
}

std::string storedHold(const std::string &name) {
  char data[256] = "";
  DWORD size = sizeof data;
  RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Qvn\\Holds", name.c_str(),
               RRF_RT_REG_SZ, nullptr, data, &size);
  return data;
}

// Refused requests store nothing. A hold stops a running service within a second, outlives a
// restart of "Qvn" and ends at its minute, when the schedule starts the service again; one without
// an end lasts until released, and holds a service the schedule does not name too.
TEST_F(SchedulerFaults, AHoldRulesUntilItsMinuteOrItsReleaseAndOutlivesARestart) {
  const std::string held = service("QvnHeld"), other = service("QvnOther");
  FileTail events(kWineEventLog);
  startQvn(section(held));
  ASSERT_TRUE(waitForServiceState(held, SERVICE_RUNNING));
  for (const char *args : {"paused", "stopped 2020-01-01 08:00", "stopped 2026-02-30 08:00"}) {
    RunResult refused = runQvn("-hold " + held + " " + std::string(args));
    EXPECT_TRUE(refused.exitCode == 1 && refused.has("Hold not stored: ")) << refused.output;
  }
  EXPECT_TRUE(
      runQvn("-hold QvnNoSuch stopped").has("Hold not stored: service QvnNoSuch is not installed"));
  EXPECT_EQ(runQvn("-release " + held).exitCode, 1u);
  EXPECT_EQ(storedHold(held), "");
  // Until a minute at least 20 s ahead.
  const std::string until = localMinuteAhead(localMinuteAhead(0).second < 40000 ? 1 : 2).first;
  DWORD asked = GetTickCount();
  RunResult r = runQvn("-hold " + held + " stopped " + until);
  EXPECT_EQ(r.output, kBanner + lines({"Service " + held + " held stopped until " + until,
                                       "Quorvane was told and acts on this now"}));
  EXPECT_TRUE(waitForServiceState(held, SERVICE_STOPPED, 3000));
  std::printf("hold to service stopped: %lu ms\n", GetTickCount() - asked);
  EXPECT_EQ(storedHold(held), "stopped until " + until);
  stopQvn(5000);
  ASSERT_EQ(startServiceWithArgs(held), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(held, SERVICE_RUNNING));
  log_.mark();
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState(held, SERVICE_STOPPED));
  ASSERT_TRUE(waitForServiceState(held, SERVICE_RUNNING, 150000));
  auto [minute, into] = localMinuteAhead(0);
  std::printf("hold's end to service running: %lu ms\n", into);
  EXPECT_TRUE(minute == until && into < 5000) << minute << " " << into;
  EXPECT_TRUE(
      logged("Hold of service " + held + " (stopped until " + until + ") ended by its time"));
  EXPECT_EQ(storedHold(held), "");
  // Without an end, until released; a service not in Qvn.ini too.
  EXPECT_EQ(runQvn("-hold " + held + " stopped").exitCode, 0u);
  EXPECT_EQ(runQvn("-hold " + other + " running").exitCode, 0u);
  EXPECT_TRUE(waitForServiceState(held, SERVICE_STOPPED, 3000));
  EXPECT_TRUE(waitForServiceState(other, SERVICE_RUNNING, 3000));
  RunResult report = runQvn("-test"); // the one not in Qvn.ini too
  EXPECT_TRUE(report.has("  Held: stopped until released") &&
              report.has("  Not in the schedule file: only held, then left as it is") &&
              report.has("  Held: running until released"))
      << report.output;
  asked = GetTickCount();
  r = runQvn("-release " + held);
  EXPECT_EQ(r.output, kBanner + lines({"Hold of service " + held + " released",
                                       "Quorvane was told and acts on this now"}));
  EXPECT_TRUE(waitForServiceState(held, SERVICE_RUNNING, 3000));
  std::printf("release to service running: %lu ms\n", GetTickCount() - asked);
  EXPECT_EQ(runQvn("-release " + other).exitCode, 0u);
  if (serviceEventsSeen()) {
    EXPECT_NE(events.text().find(wineEvent("trace", "Hold of service " + held)), std::string::npos);
  }
}

} // namespace
