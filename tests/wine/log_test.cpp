// DiagnosticLog against a real file and the system's message table.
#include "log/diagnostic_log.h"
#include "service_helpers.h" // systemMessage
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

const char *kPath = "C:\\qvn-log-test.log";

class Log : public ::testing::Test {
protected:
  void SetUp() override { DeleteFileA(kPath); }
  void TearDown() override { DeleteFileA(kPath); }
};

TEST_F(Log, NullTextWritesNothing) {
  {
    DiagnosticLog log(kPath);
    log.writeLine(nullptr);
    log.write(nullptr);
  }
  EXPECT_EQ(readFile(kPath), "");
}

TEST_F(Log, EachWriteIsInTheFileBeforeItReturns) {
  DiagnosticLog log(kPath);
  log.writeLine("first");
  EXPECT_EQ(readFile(kPath), "first\r\n");
  log.write("second");
  EXPECT_EQ(readFile(kPath), "first\r\nsecond");
}

TEST_F(Log, ErrorEntryIsContextThenIndentedSystemText) {
  std::string message = systemMessage(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(message.empty());
  {
    DiagnosticLog log(kPath);
    SetLastError(ERROR_ACCESS_DENIED);
    log.writeLastError("OpenSCManager");
  }
  // The context line, two blanks and the system's text, in text mode.
  EXPECT_EQ(readFile(kPath),
            "OpenSCManager\r\n  " + message.substr(0, message.size() - 2) + "\r\r\n\r\n");
}

TEST_F(Log, CodeWithoutSystemTextWritesOnlyTheContext) {
  {
    DiagnosticLog log(kPath);
    log.writeError("Context", 0x2000ABCD);
    log.writeError(nullptr, 0x2000ABCD);
  }
  EXPECT_EQ(readFile(kPath), "Context\r\n");
}

TEST_F(Log, OpeningAppendsToWhatIsThere) {
  { DiagnosticLog(kPath).writeLine("one"); }
  { DiagnosticLog(kPath).writeLine("two"); }
  EXPECT_EQ(readFile(kPath), "one\r\ntwo\r\n");
}

TEST_F(Log, UnopenableFileStillLeavesAWorkingLog) {
  DiagnosticLog log("C:\\no-such-directory\\x.log");
  log.writeLine("only the debugger sees this");
  SUCCEED();
}

} // namespace
