// DiagnosticLog against a real file and the system's message table.
#include "log/diagnostic_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

const char *kPath = "C:\\qvn-log-test.log";

TEST(Log, EachEntryIsInTheFileBeforeTheCallReturns) {
  DeleteFileA(kPath);
  DiagnosticLog log(kPath);
  log.writeLine("first");
  EXPECT_EQ(readFile(kPath), "first\r\n");
  SetLastError(ERROR_ACCESS_DENIED);
  log.writeLastError("OpenSCManager");
  EXPECT_EQ(readFile(kPath), "first\r\n" + logErrorEntry("OpenSCManager", ERROR_ACCESS_DENIED));
  // A code the system has no text for: the context line alone.
  log.writeError("Context", 0x2000ABCD);
  EXPECT_EQ(readFile(kPath).substr(readFile(kPath).size() - 9), "Context\r\n");
}

} // namespace
