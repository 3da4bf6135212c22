// DiagnosticLog against a real file and the system's message table, and
// what it hands its event sink.
#include "log/diagnostic_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

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

TEST(Log, EventSinkGetsEveryKindButRecordAndLeavesTheLastError) {
  const char *path = "C:\\qvn-event-sink-test.log";
  DeleteFileA(path);
  DiagnosticLog log(path);
  std::vector<std::pair<LogKind, std::string>> events;
  log.setEventSink([&](LogKind kind, const std::string &entry) {
    events.emplace_back(kind, entry);
    SetLastError(ERROR_ACCESS_DENIED); // as a failed report would
  });
  SetLastError(ERROR_FILE_NOT_FOUND);
  log.writeLine("only in the file");
  log.writeLine("started", LogKind::Information);
  log.writeError("OpenService", ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], std::make_pair(LogKind::Information, std::string("started\n")));
  EXPECT_EQ(events[1].first, LogKind::Error);
  EXPECT_EQ(events[1].second.rfind("OpenService\n  ", 0), 0u) << events[1].second;
  EXPECT_EQ(readFile(path).rfind("only in the file\r\nstarted\r\nOpenService\r\n", 0), 0u);
}

} // namespace
