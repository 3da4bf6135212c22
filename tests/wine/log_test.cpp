// DiagnosticLog against a real file and the system's message table.
#include "log/diagnostic_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

const char *kPath = "C:\\qvn-log-test.log";

std::string systemMessage(DWORD code) {
  char *text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char *>(&text), 0, nullptr);
  std::string message = text ? text : "";
  LocalFree(text);
  return message;
}

// Text mode: "\n" reaches the file as "\r\n".
std::string crlf(const std::string &s) {
  std::string out;
  for (char c : s) {
    if (c == '\n')
      out += '\r';
    out += c;
  }
  return out;
}

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
  EXPECT_EQ(readFile(kPath), crlf("OpenSCManager\n  " + message + "\n"));
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
