// The real Qvn.exe as the service "Qvn": its first check and its events, a
// stop or pause in the middle of a check blocked by services that never
// connect or start slowly, points acted on at their minute despite a flood of
// unknown controls, a reload of Qvn.ini on the parameter-change control, a
// stop refused for now and retried, a schedule that cannot be used or is
// large, and a log path that is not a plain file or a log lock another
// process holds.
#include "common/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <list>

using namespace qvntest;

namespace {

class SchedulerFaults : public ::testing::Test {
protected:
  void SetUp() override {
    removeService("Qvn");
    ASSERT_TRUE(registerService("Qvn", "\"" + programPath("Qvn.exe") + "\" -service"));
  }
  void TearDown() override {
    removeService("Qvn");
    DeleteFileA(ini_.c_str());
  }
  bool logged(const std::string &text, DWORD timeoutMs = 3000) {
    return waitFor([&] { return log_.contains(text); }, timeoutMs);
  }
  static size_t count(const std::string &text, const std::string &part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++n;
    return n;
  }

  std::string ini_ = windowsDir() + "\\Qvn.ini";
  FileTail log_;
};

TEST_F(SchedulerFaults, FirstCheckAppliesTheScheduleAndStopEndsTheProcess) {
  ServiceCleanup run(uniqueServiceName("QvnRun")), stop(uniqueServiceName("QvnStop"));
  const std::string missing = uniqueServiceName("QvnMissing");
  FileTail events(kWineEventLog);
  ASSERT_TRUE(registerTestService(run.name()) && registerTestService(stop.name()));
  ASSERT_EQ(startServiceWithArgs(stop.name()), DWORD(ERROR_SUCCESS));
  // Started now and stopped in two hours; the other one the other way round.
  SYSTEMTIME t;
  GetLocalTime(&t);
  int now = minuteOfWeek(t);
  ASSERT_TRUE(writeFile(ini_, "[" + run.name() + "]\r\nStart=" + schedulePoint(now) +
                                  "\r\nStop=" + schedulePoint(now + 120) + "\r\n[" + stop.name() +
                                  "]\r\nStop=" + schedulePoint(now) + "\r\nStart=" +
                                  schedulePoint(now + 120) + "\r\n[" + missing + "]\r\n"));
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  // Resume from sleep arrives as a power event: accepted with the others.
  EXPECT_EQ(serviceControlsAccepted("Qvn"),
            DWORD(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_PARAMCHANGE |
                  SERVICE_ACCEPT_POWEREVENT | SERVICE_ACCEPT_TIMECHANGE));
  EXPECT_TRUE(waitForServiceState(run.name(), SERVICE_RUNNING));
  EXPECT_TRUE(waitForServiceState(stop.name(), SERVICE_STOPPED));
  for (const std::string &line :
       {"Start at " + std::to_string(now) + "\r\n", "Starting service " + run.name() + "\r\n",
        "Stopping service " + stop.name() + "\r\n"})
    EXPECT_TRUE(logged(line)) << line;

  // A stop ends the ten-minute wait at once.
  DWORD pid = serviceProcessId("Qvn");
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_STOPPED, 3000));
  EXPECT_TRUE(waitForProcessEnd(pid, 3000));
  EXPECT_EQ(serviceExitCodes("Qvn").first, DWORD(NO_ERROR));

  // The same as events: actions as information, a failure as an error; the
  // loaded points stay in the file.
  if (!serviceEventsSeen())
    return;
  std::string seen = events.text();
  const std::string end = "\"\n";
  for (const std::string &event :
       {wineEvent("trace", "Scheduler started") + end,
        wineEvent("trace", "Starting service " + run.name()) + end,
        wineEvent("trace", "Stopping service " + stop.name()) + end,
        wineEvent("trace", "Starting service " + missing) + end,
        wineEvent("err", "OpenService\r\n  "), wineEvent("trace", "Scheduler stopped") + end})
    EXPECT_NE(seen.find(event), std::string::npos) << event << "\n" << seen;
  EXPECT_EQ(seen.find("Start at"), std::string::npos) << seen;
}

// Wine gives up a start of a service that never connects after 10 s.
TEST_F(SchedulerFaults, StopAndPauseEndACheckAtTheRecordUnderWay) {
  ServiceCleanup mute[] = {ServiceCleanup(uniqueServiceName("QvnMute")),
                           ServiceCleanup(uniqueServiceName("QvnMute")),
                           ServiceCleanup(uniqueServiceName("QvnMute"))};
  for (const ServiceCleanup &s : mute)
    ASSERT_TRUE(registerTestService(s.name(), "--never-connect"));
  ASSERT_TRUE(writeFile(ini_, "[" + mute[0].name() + "]\r\n[" + mute[1].name() + "]\r\n[" +
                                  mute[2].name() + "]\r\n"));
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));

  // Pause while the first start blocks: pending until it is done, then paused.
  ASSERT_TRUE(logged("Starting service " + mute[0].name()));
  log_.mark();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSE_PENDING, 2000));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSED, 12000));
  EXPECT_EQ(log_.text().find("Starting service"), std::string::npos) << log_.text();

  // Continue goes on with the next record; a stop while its start blocks
  // ends the process once that start is done, and starts nothing more.
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_CONTINUE), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(logged("Starting service " + mute[1].name()));
  log_.mark();
  DWORD pid = serviceProcessId("Qvn"), start = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_STOP_PENDING, 2000));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_STOPPED, 12000));
  EXPECT_TRUE(waitForProcessEnd(pid, 12000));
  std::printf("stop request to process gone: %lu ms\n", GetTickCount() - start);
  EXPECT_LT(GetTickCount() - start, 12000u);
  EXPECT_EQ(log_.text().find("Starting service"), std::string::npos) << log_.text();
}

TEST_F(SchedulerFaults, PointsActAtTheirMinuteAndAReloadResendsNothing) {
  ServiceCleanup timed(uniqueServiceName("QvnTimed")), dropped(uniqueServiceName("QvnDropped")),
      added(uniqueServiceName("QvnAdded"));
  for (const ServiceCleanup *s : {&timed, &dropped, &added})
    ASSERT_TRUE(registerTestService(s->name()));
  // The point at least 20 s ahead, so the reload comes first.
  SYSTEMTIME t;
  GetLocalTime(&t);
  int at = minuteOfWeek(t) + (t.wSecond < 40 ? 1 : 2);
  std::string timedSection = "[" + timed.name() + "]\r\nStop=" + schedulePoint(at - 60) +
                             "\r\nStart=" + schedulePoint(at) + "\r\n";
  ASSERT_TRUE(writeFile(ini_, timedSection + "[" + dropped.name() + "]\r\nForceStart=y\r\n"));
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS)); // release settings
  ASSERT_TRUE(waitForServiceState(dropped.name(), SERVICE_RUNNING));
  ASSERT_TRUE(logged("Stopping service " + timed.name()));

  // Reload: "timed" was stopped already, "dropped" is no longer listed,
  // "added" starts at once.
  ASSERT_TRUE(writeFile(ini_, timedSection + "[" + added.name() + "]\r\n"));
  log_.mark();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PARAMCHANGE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState(added.name(), SERVICE_RUNNING, 5000));
  EXPECT_TRUE(logged("Schedule reloaded, 2 services"));
  ASSERT_EQ(controlService(dropped.name(), SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));

  // Any user may send user-defined controls: 500 of them leave a handful of
  // lines and do not delay the point.
  FileTail flood;
  for (DWORD i = 0; i < 500; ++i)
    controlService("Qvn", 128 + i % 128);
  ASSERT_TRUE(waitForServiceState(timed.name(), SERVICE_RUNNING, 150000));
  GetLocalTime(&t);
  int delay = (minuteOfWeek(t) - at) * 60000 + t.wSecond * 1000 + t.wMilliseconds;
  std::printf("point to service running: %d ms\n", delay);
  EXPECT_LT(delay, 5000);
  EXPECT_EQ(serviceState(dropped.name()), DWORD(SERVICE_STOPPED));
  std::string text = log_.text();
  EXPECT_EQ(text.find("Stopping service"), std::string::npos) << text;
  EXPECT_EQ(text.find(dropped.name()), std::string::npos) << text;
  EXPECT_GE(count(flood.text(), "Unrecognized opcode\r\n"), 1u) << flood.text();
  EXPECT_LE(count(flood.text(), "\n"), 5u) << flood.text();
}

// With five services that each take 6 s to start, a pause at 2 s and a
// continue at 3 s: running again at once, and the check goes on.
TEST_F(SchedulerFaults, AContinueDuringACheckReportsRunningAtOnce) {
  std::list<ServiceCleanup> slow;
  std::string sections;
  for (int i = 0; i < 5; ++i) {
    slow.emplace_back(uniqueServiceName("QvnSlow"));
    ASSERT_TRUE(registerTestService(slow.back().name(), "--start-delay=6000"));
    sections += "[" + slow.back().name() + "]\r\n";
  }
  const std::string first = slow.front().name(), second = std::next(slow.begin())->name();
  ASSERT_TRUE(writeFile(ini_, sections));
  DWORD start = GetTickCount();
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(logged("Starting service " + first));
  auto sleepUntil = [&](DWORD ms) {
    DWORD since = GetTickCount() - start;
    Sleep(since < ms ? ms - since : 0);
  };
  sleepUntil(2000);
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSE_PENDING, 900));
  sleepUntil(3000);
  DWORD continued = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_CONTINUE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING, 1500));
  std::printf("continue to running: %lu ms\n", GetTickCount() - continued);
  EXPECT_LT(GetTickCount() - continued, 1500u);
  EXPECT_TRUE(logged("Starting service " + second, 12000));
  EXPECT_EQ(serviceState("Qvn"), DWORD(SERVICE_RUNNING));
  // Ended once that start is done, so no service is left half started.
  DWORD pid = serviceProcessId("Qvn");
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForProcessEnd(pid, 12000));
}

// A stop refused because the service cannot take it yet (it accepts a stop
// only 10 s after it runs, as one Windows is still starting at boot) is not
// recorded as done: tried again 30 s later, it succeeds; the failure is
// logged once.
TEST_F(SchedulerFaults, AStopRefusedForNowIsRetriedUntilItSucceeds) {
  ServiceCleanup late(uniqueServiceName("QvnLate"));
  ASSERT_TRUE(registerTestService(late.name(), "--stop-after=10000"));
  ASSERT_EQ(startServiceWithArgs(late.name()), DWORD(ERROR_SUCCESS));
  SYSTEMTIME t;
  GetLocalTime(&t);
  ASSERT_TRUE(
      writeFile(ini_, "[" + late.name() + "]\r\nStop=" + schedulePoint(minuteOfWeek(t)) + "\r\n"));
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS)); // release settings
  ASSERT_TRUE(logged("Stopping service " + late.name()));
  DWORD point = GetTickCount();
  EXPECT_TRUE(logged("Will try again every 30 s to stop service " + late.name()));
  EXPECT_EQ(serviceState(late.name()), DWORD(SERVICE_RUNNING));
  ASSERT_TRUE(waitForServiceState(late.name(), SERVICE_STOPPED, 40000));
  DWORD delay = GetTickCount() - point;
  std::printf("first check to the retried stop done: %lu ms\n", delay);
  EXPECT_GT(delay, 25000u);
  EXPECT_TRUE(logged("Stopped service " + late.name() + " on retry"));
  std::string text = log_.text();
  EXPECT_EQ(count(text, "ControlService\r\n"), 1u) << text;
}

// Held by another program at start, the file is tried again at each check;
// a reload while it is held keeps what was loaded.
TEST_F(SchedulerFaults, AScheduleThatCannotBeUsedIsKeptAndTriedAgain) {
  ServiceCleanup kept(uniqueServiceName("QvnKept"));
  ASSERT_TRUE(registerTestService(kept.name()));
  ASSERT_TRUE(writeFile(ini_, "\xEF\xBB\xBF[Qvn]\r\nStop=0123456:0000\r\n[" + kept.name() +
                                  "]\r\nStart=0:0000x\r\nForceStart=y\r\n"));
  auto hold = [&] {
    return CreateFileA(ini_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  HANDLE held = hold();
  ASSERT_EQ(startServiceWithArgs("Qvn", "/interval-ms=300"), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(logged("Schedule file " + ini_ + " cannot be read: "));
  EXPECT_TRUE(logged("Schedule not loaded: 0 services stay as loaded before; tried again at "
                     "each check\r\n"));
  Sleep(700);
  EXPECT_EQ(serviceState(kept.name()), DWORD(SERVICE_STOPPED));
  CloseHandle(held);
  EXPECT_TRUE(waitForServiceState(kept.name(), SERVICE_RUNNING, 5000));
  for (const std::string &line :
       {"Schedule file " + ini_ + " starts with a UTF-8 byte-order mark",
        std::string("Ignoring schedule section Qvn: the scheduler never starts or stops itself"),
        "Ignoring text x of schedule entry 0:0000x of service " + kept.name(),
        std::string("Schedule loaded, 1 services, 1 points\r\n")})
    EXPECT_TRUE(logged(line)) << line;
  EXPECT_EQ(serviceState("Qvn"), DWORD(SERVICE_RUNNING));

  held = hold();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PARAMCHANGE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(logged("Schedule not loaded: 1 services stay as loaded before"));
  ASSERT_EQ(controlService(kept.name(), SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState(kept.name(), SERVICE_STOPPED));
  EXPECT_TRUE(waitForServiceState(kept.name(), SERVICE_RUNNING, 5000)); // still enforced
  CloseHandle(held);
}

// 400 sections of 100 points: loaded and acted on at once, and a stop sent
// while it loads ends the process at once.
TEST_F(SchedulerFaults, ALargeScheduleActsAtOnceAndAStopDuringTheLoadEndsIt) {
  ServiceCleanup big(uniqueServiceName("QvnBig"));
  ASSERT_TRUE(registerTestService(big.name()));
  std::string content;
  for (int section = 0; section < 400; ++section) {
    content += "[" + (section ? "QvnBigNone" + std::to_string(section) : big.name()) + "]\r\n";
    for (const char *key : {"Start=", "Stop="}) {
      content += key;
      for (int i = 0; i < 50; ++i)
        content += schedulePoint(section * 7 + i * 199 + (key[2] == 'o' ? 97 : 0)) + ";";
      content += "\r\n";
      if (!section)
        break; // the first one: start points alone, wanted running always
    }
  }
  ASSERT_TRUE(writeFile(ini_, content));
  DWORD start = GetTickCount();
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(logged("Starting service " + big.name(), 10000));
  std::printf("service start to first action on 40,000 points: %lu ms\n", GetTickCount() - start);
  EXPECT_LT(GetTickCount() - start, 2000u);
  ASSERT_TRUE(removeService("Qvn"));

  ASSERT_TRUE(registerService("Qvn", "\"" + programPath("Qvn.exe") + "\" -service"));
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  DWORD pid = serviceProcessId("Qvn");
  start = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForProcessEnd(pid, 5000));
  std::printf("stop during the load to process gone: %lu ms\n", GetTickCount() - start);
  EXPECT_LT(GetTickCount() - start, 2000u);
}

TEST_F(SchedulerFaults, ALinkOrFolderAtTheLogIsNeverWrittenAndSchedulingGoesOn) {
  const std::string log = "C:\\Qvn.log", target = "C:\\qvn-log-target.txt";
  ASSERT_TRUE(writeFile(target, "target\r\n"));
  for (PathShape shape : {PathShape::HardLink, PathShape::SymbolicLink, PathShape::Folder}) {
    ServiceCleanup client(uniqueServiceName("QvnShape"));
    ASSERT_TRUE(registerTestService(client.name()));
    ASSERT_TRUE(writeFile(ini_, "[" + client.name() + "]\r\n")); // wanted running always
    ASSERT_TRUE(makeShape(log, shape, target));
    ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(waitForServiceState(client.name(), SERVICE_RUNNING)) << int(shape);
    EXPECT_EQ(serviceState("Qvn"), DWORD(SERVICE_RUNNING));
    DWORD pid = serviceProcessId("Qvn");
    ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(waitForProcessEnd(pid));
    EXPECT_EQ(readFile(target), "target\r\n") << int(shape);
    removeShape(log);
  }
}

// Any process may make and hold the log's lock: the service waits for it
// once, then logs without it.
TEST_F(SchedulerFaults, ALogLockHeldElsewhereDelaysNeitherTheStartNorTheStop) {
  UniqueKernelHandle lock(CreateMutexA(nullptr, TRUE, "Global\\QvnLog:C:/QVN.LOG"));
  ASSERT_TRUE(lock && GetLastError() != ERROR_ALREADY_EXISTS);
  DWORD start = GetTickCount();
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING, 1000));
  DWORD running = GetTickCount() - start, pid = serviceProcessId("Qvn");
  start = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForProcessEnd(pid, 1000));
  std::printf("log lock held: running %lu ms after the start, gone %lu ms after the stop\n",
              running, GetTickCount() - start);
  std::string text = log_.text();
  const std::string notice = "Log lock held by another process";
  size_t first = text.find(notice);
  EXPECT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find(notice, first + 1), std::string::npos) << text;
}

} // namespace
