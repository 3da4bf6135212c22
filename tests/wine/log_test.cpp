// The log against real files: each entry whole at once, its event sink, never through a link or
// folder; and beside the running scheduler: many writers, a held log, a log past its limit.
#include "install/binary_guard.h"
#include "log/diagnostic_log.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <cstdio>
#include <memory>
#include <sstream>

using namespace qvntest;

const std::string kPath = "C:\\qvn-log-test.log", kLog = "C:\\Qvn.log";

TEST(Log, EachEntryIsInTheFileAtOnceEveryKindButRecordIsAnEventAndAFullDiskTearsNone) {
  DeleteFileA(kPath.c_str());
  DiagnosticLog log(kPath.c_str());
  std::vector<std::pair<LogKind, std::string>> events; // each kind and first line
  std::string said;
  log.setEventSink([&](LogKind kind, const std::string &entry) {
    events.emplace_back(kind, entry.substr(0, entry.find('\n')));
    said += entry;
    SetLastError(ERROR_ACCESS_DENIED); // as a failed report would
  });
  log.writeLine("first");
  // Made with an access list of its own (under Wine, no entry for Everyone), which only trusted
  // accounts may change: Wine keeps only what its file modes say, so the one given is read too.
  char descriptor[1024], *sddl = nullptr;
  DWORD size = 0;
  ASSERT_TRUE(GetFileSecurityA(kPath.c_str(), DACL_SECURITY_INFORMATION, descriptor,
                               sizeof descriptor, &size) &&
              ConvertSecurityDescriptorToStringSecurityDescriptorA(
                  descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl, nullptr));
  EXPECT_EQ(std::string(sddl).find(";;;WD)"), std::string::npos) << sddl;
  LocalFree(sddl);
  ObjectSecurity given = objectSecurityOf(newFileSecurity()->lpSecurityDescriptor);
  EXPECT_TRUE(given.hasDacl && !given.dacl.empty() && !untrustedChanger(given, ""));
  SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
  log.writeLastError("OpenService");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
  log.writeLine("started", LogKind::Information);
  log.writeError("Context", 0x2000ABCD); // no text for it: the context line alone
  const std::string one = "first\r\n" + logErrorEntry("OpenService", ERROR_SERVICE_DOES_NOT_EXIST) +
                          "started\r\nContext\r\n";
  EXPECT_EQ(readFile(kPath), one);
  EXPECT_EQ(events, (decltype(events){{LogKind::Error, "OpenService"},
                                      {LogKind::Information, "started"},
                                      {LogKind::Error, "Context"}}));
  // A disk that fills up: an entry is there whole or not at all, and once there is room again
  // the log says how many it missed; a console line then points at standard error.
  said.clear();
  log.setSpaceForTest(6); // "two" fits, the next one only in part
  for (const char *entry : {"two", "three", "four"})
    log.writeLine(entry);
  EXPECT_EQ(readFile(kPath), one + "two\r\n");
  EXPECT_EQ(log.seeLog(), "see standard error (" + kPath + " could not be written)");
  log.setSpaceForTest(-1);
  log.writeLine("five");
  const std::string full = systemText(ERROR_DISK_FULL);
  const std::string text = readFile(kPath),
                    head = one + "two\r\n2 entries not written to " + kPath + " from ";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - full.size() - 8), full + "\r\nfive\r\n");
  // Said when it failed, and the loss when the log works again.
  EXPECT_EQ(said.rfind("Log file " + kPath + " not written: " + full + "\n", 0), 0u) << said;
  EXPECT_NE(said.find("\n2 entries not written to " + kPath), std::string::npos) << said;
  EXPECT_EQ(log.seeLog(), "see " + kPath);
}

// A link or folder at the log's path, or at ".old" when the
// log is to be moved aside: left untouched, and said once.
TEST(Log, NeverWritesThroughALinkOrFolderAndSaysSoOnce) {
  const std::string target = "C:\\qvn-log-target.txt";
  const std::pair<PathShape, const char *> kShapes[] = {
      {PathShape::HardLink, "it has 2 hard links"},
      {PathShape::SymbolicLink, "it leads to C:\\qvn-log-target.txt"},
      {PathShape::Folder, "it is a folder"}};
  for (auto [shape, reason] : kShapes)
    for (const std::string &shaped : {kPath, kPath + ".old"}) {
      removeShape(kPath);
      removeShape(kPath + ".old");
      ASSERT_TRUE(writeFile(target, "target\r\n") && makeShape(shaped, shape, target)) << shaped;
      std::string said;
      DiagnosticLog log(kPath.c_str(), 4); // moved aside past 4 bytes
      log.setEventSink([&](LogKind, const std::string &text) { said += text; });
      log.writeLine("one");
      log.writeLine("two");
      std::string notice = "Log file " + shaped + " not used: " + reason;
      EXPECT_EQ(readFile(target), "target\r\n") << notice;
      if (shaped != kPath) { // bounded all the same: emptied, and why at its head
        notice += "; " + kPath + " is emptied instead of moved aside";
        EXPECT_EQ(readFile(kPath), notice + "\r\ntwo\r\n");
      }
      EXPECT_EQ(said, notice + "\n");
      removeShape(shaped);
    }
}

// "Qvn", the scheduler, logs three entries a check for a missing service; each "-install"
// beside it finds "Qvn" registered and logs one two-line error entry.
TEST(LogFaults, BesideTheServiceHeldReopenedRotatedAndEveryLineWhole) {
  DeleteFileA(kLog.c_str());
  ASSERT_TRUE(writeFile(kLog + ".old", "older\r\n")); // replaced by the first move
  const std::string ini = windowsDir() + "\\Qvn.ini";
  std::shared_ptr<void> removeIni(nullptr, [&](void *) { DeleteFileA(ini.c_str()); });
  ASSERT_TRUE(writeFile(ini, "[QvnLogMissing]\r\nForceStart=y\r\n"));
  ServiceCleanup qvn("Qvn");
  ASSERT_TRUE(registerScheduler());
  const std::string console = logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS);
  UniqueKernelHandle held(
      CreateFileA(kLog.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
  // Held exclusively: a console run shows its entries on standard error; the log reopens later.
  const std::string output = runInstall().output;
  EXPECT_NE(output.find(console), std::string::npos) << output;
  EXPECT_NE(output.find("Unable to install Quorvane service, see standard error (" + kLog +
                        " could not be written)\r\n"),
            std::string::npos)
      << output;
  DiagnosticLog writer(kLog.c_str());
  held.reset();
  writer.writeLine("after");
  EXPECT_EQ(readFile(kLog), "after\r\n");
  ASSERT_TRUE(startServiceWithArgs("Qvn", "/interval-ms=2 /trace-checks") == 0 &&
              waitForServiceState("Qvn", SERVICE_RUNNING));
  // Past the limit: moved aside at the service's next check though held, replacing what was
  // there; the writer goes on anew.
  held.reset(CreateFileA(kLog.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  writer.write(std::string(DiagnosticLog::kRotateAt, 'x').c_str());
  EXPECT_TRUE(waitFor([] { return fileExists("C:\\Qvn.log.old"); }, 5000));
  writer.writeLine("after");
  held.reset();
  EXPECT_NE(readFile("C:\\Qvn.log.old").find(std::string(1000, 'x')), std::string::npos);
  EXPECT_EQ(readFile(kLog).find("could not be moved"), std::string::npos) << readFile(kLog);
  // Past the limit again, held without delete sharing (a "tail" viewer): copied there and
  // emptied, said once, and the log stays bounded. (A folder at ".old": Log.NeverWrites...)
  FileTail events(kWineEventLog);
  const std::string notMoved = "Log file " + kLog + " copied to " + kLog +
                               ".old and emptied, as it could not be moved there: ";
  held.reset(CreateFileA(kLog.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  for (int round = 0; round < 2; ++round) {
    writer.write(std::string(DiagnosticLog::kRotateAt, 'x').c_str());
    EXPECT_TRUE(waitFor([] { return readFile(kLog).size() < 100000; }, 5000)) << round;
    std::printf("log past its limit, then: %zu bytes\n", readFile(kLog).size());
  }
  held.reset();
  const std::string old = readFile(kLog + ".old");
  EXPECT_EQ(count(old, notMoved), 1u); // with the second round
  EXPECT_NE(old.find(std::string(DiagnosticLog::kRotateAt, 'x')), std::string::npos);
  writer.writeLine("after");
  EXPECT_TRUE(!serviceEventsSeen() || count(events.text(), "could not be moved") == 1)
      << events.text();
  for (int i = 0; i < 45; ++i)
    runInstall();
  ASSERT_TRUE(removeService("Qvn")); // stopped: no entry half read
  const std::string known =
      "\nafter\r\n" + console + "Scheduler started\r\nScheduler stopped\r\n" +
      "Starting service QvnLogMissing\r\nCheck done\r\nSchedule loaded, 1 services, 0 points\r\n" +
      logErrorEntry("OpenService", ERROR_SERVICE_DOES_NOT_EXIST);
  std::istringstream in(readFile(kLog));
  int broken = 0, fromConsole = 0, after = 0;
  for (std::string line; std::getline(in, line);) {
    broken += known.find("\n" + line + "\n") == std::string::npos;
    fromConsole += ("\n" + console).find("\n" + line + "\n") != std::string::npos;
    after += line == "after\r";
  }
  // Every line whole, each console run's two there, the writer's last in the new log.
  EXPECT_EQ(std::make_tuple(broken, fromConsole, after), std::make_tuple(0, 90, 1));
}
