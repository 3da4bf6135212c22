// The real Qvn.exe as the service "Qvn": its first check, a stop or pause in
// the middle of a check blocked by services that never connect, points acted
// on at their minute, a reload of Qvn.ini on the parameter-change control, and
// a log path that is not a plain file or a log lock that another process holds.
#include "common/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

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

  std::string ini_ = windowsDir() + "\\Qvn.ini";
  FileTail log_;
};

TEST_F(SchedulerFaults, FirstCheckAppliesTheScheduleAndStopEndsTheProcess) {
  ServiceCleanup run(uniqueServiceName("QvnRun")), stop(uniqueServiceName("QvnStop"));
  ASSERT_TRUE(registerTestService(run.name()) && registerTestService(stop.name()));
  ASSERT_EQ(startServiceWithArgs(stop.name()), DWORD(ERROR_SUCCESS));
  // Started now and stopped in two hours; the other one the other way round.
  SYSTEMTIME t;
  GetLocalTime(&t);
  int now = minuteOfWeek(t);
  ASSERT_TRUE(writeFile(ini_, "[" + run.name() + "]\r\nStart=" + schedulePoint(now) +
                                  "\r\nStop=" + schedulePoint(now + 120) + "\r\n[" + stop.name() +
                                  "]\r\nStop=" + schedulePoint(now) +
                                  "\r\nStart=" + schedulePoint(now + 120) + "\r\n"));
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
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

  ASSERT_TRUE(waitForServiceState(timed.name(), SERVICE_RUNNING, 150000));
  GetLocalTime(&t);
  int delay = (minuteOfWeek(t) - at) * 60000 + t.wSecond * 1000 + t.wMilliseconds;
  std::printf("point to service running: %d ms\n", delay);
  EXPECT_LT(delay, 5000);
  EXPECT_EQ(serviceState(dropped.name()), DWORD(SERVICE_STOPPED));
  std::string text = log_.text();
  EXPECT_EQ(text.find("Stopping service"), std::string::npos) << text;
  EXPECT_EQ(text.find(dropped.name()), std::string::npos) << text;
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
