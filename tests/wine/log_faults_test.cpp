// The log under faults: writers beside a busy service, a held log, a log past its limit.
#include "log/diagnostic_log.h"
#include "test_support.h"
#include <gtest/gtest.h>
#include <sstream>

using namespace qvntest;

namespace {

const char *kLog = "C:\\Qvn.log";
const char *kFast = "/interval-ms=2 /trace-checks"; // a check every 2 ms, each logged

// "Qvn": the scheduler; each check logs three entries for a missing service.
class LogFaults : public ::testing::Test {
protected:
  void SetUp() override {
    DeleteFileA(kLog);
    DeleteFileA("C:\\Qvn.log.old");
    ASSERT_TRUE(writeFile(windowsDir() + "\\Qvn.ini", "[QvnLogMissing]\r\nForceStart=y\r\n"));
    ASSERT_TRUE(registerService("Qvn", "\"" + programPath("Qvn.exe") + "\" -service"));
  }
  void TearDown() override {
    removeService("Qvn");
    DeleteFileA((windowsDir() + "\\Qvn.ini").c_str());
  }
};

// Each "-install" finds "Qvn" registered and logs one two-line error entry.
TEST_F(LogFaults, ConsoleRunsBesideABusyServiceLeaveEveryLineWhole) {
  ASSERT_TRUE(startServiceWithArgs("Qvn", kFast) == 0 &&
              waitForServiceState("Qvn", SERVICE_RUNNING));
  for (int i = 0; i < 45; ++i)
    runQvn("-install");
  ASSERT_TRUE(removeService("Qvn")); // stopped: no entry half read
  const std::string console = "\n" + logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS);
  const std::string known = console + "Scheduler started\r\nScheduler stopped\r\n" +
                            "Starting service QvnLogMissing\r\nCheck done\r\n" +
                            "Schedule loaded, 1 services, 0 points\r\n" +
                            logErrorEntry("OpenService", ERROR_SERVICE_DOES_NOT_EXIST);
  std::istringstream in(readFile(kLog));
  int lines = 0, broken = 0, fromConsole = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    broken += known.find("\n" + line + "\n") == std::string::npos;
    fromConsole += console.find("\n" + line + "\n") != std::string::npos;
  }
  std::printf("log: %d lines, %d not whole, %d of 90 console lines\n", lines, broken, fromConsole);
  EXPECT_EQ(broken, 0);
  EXPECT_EQ(fromConsole, 90);
}

// Held exclusively: a console run shows entries on standard error; the log reopens later.
TEST_F(LogFaults, LogHeldByAnotherProgramGoesToStandardErrorAndIsOpenedAgain) {
  HANDLE held = CreateFileA(kLog, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_NE(runQvn("-install").output.find(logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS)),
            std::string::npos);
  DiagnosticLog log(kLog);
  CloseHandle(held);
  log.writeLine("after");
  EXPECT_EQ(readFile(kLog), "after\r\n");
}

// Moved aside at the service's next check though held; a writer goes on in a new log.
TEST_F(LogFaults, LogGrownPastTheLimitIsRotatedAtTheNextCheck) {
  DiagnosticLog writer(kLog);
  HANDLE held = CreateFileA(kLog, GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr); // share all
  ASSERT_TRUE(startServiceWithArgs("Qvn", kFast) == 0 &&
              waitForServiceState("Qvn", SERVICE_RUNNING));
  writer.write(std::string(DiagnosticLog::kRotateAt, 'x').c_str());
  DWORD start = GetTickCount();
  while (!fileExists("C:\\Qvn.log.old") && GetTickCount() - start < 5000)
    Sleep(1);
  std::printf("log: rotated %lu ms after it passed the limit\n", GetTickCount() - start);
  writer.writeLine("after");
  CloseHandle(held);
  std::string old = readFile("C:\\Qvn.log.old"), text = readFile(kLog);
  EXPECT_NE(old.find(std::string(1000, 'x')), std::string::npos);
  EXPECT_NE(text.find("after\r\n"), std::string::npos);
  EXPECT_EQ(text.find("xxxx"), std::string::npos);
}

} // namespace
