// The real Qvn.exe registered as the service "Qvn" in Wine's service
// control manager, applying a schedule built around the current minute.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

using namespace qvntest;

namespace {

// "d:HHMM" for a minute of the week.
std::string point(int minute) {
  minute = ((minute % 10080) + 10080) % 10080;
  char text[16];
  std::snprintf(text, sizeof(text), "%d:%02d%02d", minute / 1440, minute % 1440 / 60, minute % 60);
  return text;
}

int nowMinuteOfWeek() {
  std::time_t t = std::time(nullptr);
  std::tm local = *std::localtime(&t);
  return local.tm_wday * 1440 + local.tm_hour * 60 + local.tm_min;
}

// The scheduler as the service manager would run it after "-install".
bool registerScheduler(const char *exe) {
  return registerService("Qvn", "\"" + programPath(exe) + "\" -service");
}

class Runtime : public ::testing::Test {
protected:
  void SetUp() override {
    removeService("Qvn");
    ini_ = windowsDir() + "\\Qvn.ini";
  }
  void TearDown() override {
    removeService("Qvn");
    DeleteFileA(ini_.c_str());
  }
  std::string ini_;
};

TEST_F(Runtime, FirstCheckAppliesTheScheduleAndStopEndsTheProcess) {
  ServiceCleanup wantedRunning(uniqueServiceName("QvnRun"));
  ServiceCleanup wantedStopped(uniqueServiceName("QvnStop"));
  ASSERT_TRUE(registerTestService(wantedRunning.name()));
  ASSERT_TRUE(registerTestService(wantedStopped.name()));
  ASSERT_EQ(startServiceWithArgs(wantedStopped.name()), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(wantedStopped.name(), SERVICE_RUNNING));

  // Started now and stopped in two hours; the other one the other way round.
  int now = nowMinuteOfWeek();
  ASSERT_TRUE(writeFile(ini_, "[" + wantedRunning.name() + "]\r\nStart=" + point(now) +
                                  "\r\nStop=" + point(now + 120) + "\r\n[" + wantedStopped.name() +
                                  "]\r\nStop=" + point(now) + "\r\nStart=" + point(now + 120) +
                                  "\r\n"));
  ASSERT_TRUE(registerScheduler("Qvn.exe"));
  FileTail log;
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));

  EXPECT_TRUE(waitForServiceState(wantedRunning.name(), SERVICE_RUNNING, 10000));
  EXPECT_TRUE(waitForServiceState(wantedStopped.name(), SERVICE_STOPPED, 10000));
  std::string text = log.text();
  EXPECT_NE(text.find("Start at " + std::to_string(now % 10080) + "\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Stop at " + std::to_string((now + 120) % 10080) + "\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("Starting service " + wantedRunning.name() + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("Stopping service " + wantedStopped.name() + "\r\n"), std::string::npos);

  // A stop ends the ten-minute wait at once: stopped and gone within 3 s.
  DWORD pid = serviceProcessId("Qvn");
  ASSERT_NE(pid, 0u);
  DWORD start = GetTickCount();
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_STOPPED, 3000));
  EXPECT_TRUE(waitForProcessEnd(pid, 3000 - (GetTickCount() - start)));
  EXPECT_EQ(serviceExitCodes("Qvn").first, DWORD(NO_ERROR));
}

// Start arguments that make the checks come every 2 ms, each logged.
const char kFast[] = "/interval-ms=2 /trace-checks";

TEST_F(Runtime, NoCheckRunsWhilePausedAndContinueChecksAtOnce) {
  ServiceCleanup kept(uniqueServiceName("QvnKept"));
  ASSERT_TRUE(registerTestService(kept.name()));
  // No point at all: wanted running always, and kept so.
  ASSERT_TRUE(writeFile(ini_, "[" + kept.name() + "]\r\nForceStart=y\r\n"));
  ASSERT_TRUE(registerScheduler("Qvn.exe"));
  ASSERT_EQ(startServiceWithArgs("Qvn", kFast), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(kept.name(), SERVICE_RUNNING));

  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSED, 3000));
  ASSERT_EQ(controlService(kept.name(), SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(kept.name(), SERVICE_STOPPED));
  Sleep(1500); // many intervals: a check would have started it again
  EXPECT_EQ(serviceState(kept.name()), DWORD(SERVICE_STOPPED));

  FileTail log;
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_CONTINUE), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING, 3000));
  EXPECT_TRUE(waitForServiceState(kept.name(), SERVICE_RUNNING, 5000));
  EXPECT_NE(log.text().find("Starting service " + kept.name()), std::string::npos);

  // Interrogate changes nothing; a control of our own is only logged.
  EXPECT_EQ(controlService("Qvn", SERVICE_CONTROL_INTERROGATE), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(serviceState("Qvn"), DWORD(SERVICE_RUNNING));
  log.mark();
  EXPECT_EQ(controlService("Qvn", 200), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitFor([&] { return log.contains("Unrecognized opcode"); }, 3000));
  EXPECT_EQ(serviceState("Qvn"), DWORD(SERVICE_RUNNING));
}

TEST_F(Runtime, MissingScheduleRunsAndControlsNothing) {
  DeleteFileA(ini_.c_str());
  ASSERT_TRUE(registerScheduler("Qvn.exe"));
  FileTail log;
  ASSERT_EQ(startServiceWithArgs("Qvn", kFast), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));
  ASSERT_TRUE(waitFor([&] { return log.contains("Check done"); }, 3000));
  EXPECT_EQ(serviceState("Qvn"), DWORD(SERVICE_RUNNING));
  std::string text = log.text();
  EXPECT_NE(text.find("Qvn.ini not found"), std::string::npos) << text;
  EXPECT_EQ(text.find("Starting service"), std::string::npos) << text;
  EXPECT_EQ(text.find("Stopping service"), std::string::npos) << text;
}

} // namespace
