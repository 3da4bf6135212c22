// DiagnosticLog against a real file and the system's message table, and
// what it hands its event sink.
#include "log/diagnostic_log.h"
#include "test_support.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <utility>
#include <vector>

using namespace qvntest;

namespace {

const std::string kPath = "C:\\qvn-log-test.log";

// The file's access list as SDDL.
std::string accessList(const std::string &path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  char *text = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS)
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
  std::string result = text ? text : "";
  LocalFree(text);
  LocalFree(descriptor);
  return result;
}

TEST(Log, EachEntryIsInTheFileBeforeTheCallReturns) {
  DeleteFileA(kPath.c_str());
  DiagnosticLog log(kPath.c_str());
  log.writeLine("first");
  EXPECT_EQ(readFile(kPath), "first\r\n");
  // Made with an access list of its own: under Wine, no entry for Everyone.
  EXPECT_EQ(accessList(kPath).find(";;;WD)"), std::string::npos) << accessList(kPath);
  SetLastError(ERROR_ACCESS_DENIED);
  log.writeLastError("OpenSCManager");
  EXPECT_EQ(readFile(kPath), "first\r\n" + logErrorEntry("OpenSCManager", ERROR_ACCESS_DENIED));
  // A code the system has no text for: the context line alone.
  log.writeError("Context", 0x2000ABCD);
  EXPECT_EQ(readFile(kPath).substr(readFile(kPath).size() - 9), "Context\r\n");
}

// A link or folder at the log's path, or at ".old" when the log is to be
// moved aside: left untouched, said once on standard error.
TEST(Log, NeverWritesThroughALinkOrFolderAndSaysSoOnce) {
  const std::string target = "C:\\qvn-log-target.txt", errors = "C:\\qvn-log-errors.txt";
  const struct {
    PathShape shape;
    const char *reason;
  } kShapes[] = {{PathShape::HardLink, "it has 2 hard links"},
                 {PathShape::SymbolicLink, "it leads to C:\\qvn-log-target.txt"},
                 {PathShape::Folder, "it is a folder"}};
  for (const auto &s : kShapes)
    for (const std::string &shaped : {kPath, kPath + ".old"}) {
      removeShape(kPath);
      removeShape(kPath + ".old");
      ASSERT_TRUE(writeFile(target, "target\r\n"));
      ASSERT_TRUE(makeShape(shaped, s.shape, target)) << shaped;
      HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
      UniqueKernelHandle captured(CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                              nullptr, CREATE_ALWAYS, 0, nullptr));
      SetStdHandle(STD_ERROR_HANDLE, captured.get());
      DiagnosticLog log(kPath.c_str(), 4); // moved aside past 4 bytes
      log.setStandardErrorFallback(true);
      log.writeLine("one");
      log.writeLine("two");
      SetStdHandle(STD_ERROR_HANDLE, standardError);
      captured.reset();

      std::string notice = "Log file " + shaped + " not used: " + s.reason;
      EXPECT_EQ(readFile(target), "target\r\n") << notice;
      if (shaped == kPath) {
        EXPECT_EQ(readFile(errors), notice + "\r\none\r\ntwo\r\n");
      } else {
        EXPECT_EQ(readFile(errors), notice + "; " + kPath + " is not moved aside\r\n");
        EXPECT_EQ(readFile(kPath), "one\r\ntwo\r\n");
      }
      removeShape(shaped);
    }
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
