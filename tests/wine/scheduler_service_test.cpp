// The real Qvn.exe as the service "Qvn": its first check and its events, a
// stop or pause in the middle of a check blocked by services that never
// connect, points acted on at their minute, and a reload of Qvn.ini on the
// parameter-change control.
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

} // namespace
