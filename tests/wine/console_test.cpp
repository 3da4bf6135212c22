// The real Qvn.exe from a console: usage, exit codes and the log; "-install" and "-desinstall"
// of the service "Qvn" and its event source "Quorvane"; "-test": the schedule as the service
// would read it, with everything it would ignore, reported without changing anything.
#include "common/unique_handle.h"
#include "scheduler/schedule_parser.h"
#include "scheduler/weekly_schedule.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

TEST(App, NoArgumentOrAnUnknownOnePrintsTheUsage) {
  RunResult r = runQvn("");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output,
            kBanner + lines({"Usage:", "   Qvn -install", "      Install Quorvane",
                             "   Qvn -install_fah <configuration>",
                             "      Install Folding@Home as a service", "   Qvn -desinstall",
                             "      Desinstall Quorvane", "   Qvn -desinstall_fah <configuration>",
                             "      Desinstall Folding@Home as a service", "   Qvn -test",
                             "      Test Quorvane configuration", ""}));
  RunResult unknown = runQvn("-TEST");
  EXPECT_EQ(unknown.exitCode, 0u);
  EXPECT_EQ(unknown.output, r.output);
}

TEST(App, ServiceFromConsoleFailsAndTheRunAppendsToTheLog) {
  ASSERT_TRUE(writeFile("C:\\Qvn.log", "earlier entry\r\n"));
  RunResult r = runQvn("-service");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output, kBanner);
  EXPECT_EQ(readFile("C:\\Qvn.log"),
            "earlier entry\r\n" + logErrorEntry("StartServiceCtrlDispatcher()", 1063));
}

// The message file the event source names; empty when there is no source.
std::string eventMessageFile() {
  char value[MAX_PATH] = "";
  DWORD size = sizeof value - 1;
  RegGetValueA(HKEY_LOCAL_MACHINE,
               "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quorvane",
               "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &size);
  return value;
}

// Run from another directory by a relative name without ".exe", as a person might type it.
TEST(SchedulerInstall, RegistersTheRunningProgramStartsItAndRemovesIt) {
  const std::string binDir = "C:\\qvn sched\\bin dir", otherDir = "C:\\qvn sched\\other";
  for (const std::string &dir : {std::string("C:\\qvn sched"), binDir, otherDir})
    CreateDirectoryA(dir.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(programPath("Qvn.exe").c_str(), (binDir + "\\Qvn.exe").c_str(), FALSE));
  ServiceCleanup qvn("Qvn");
  // A relative program name is found from the caller's own directory.
  char previous[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(otherDir.c_str()));
  auto runCopy = [](const char *option) {
    return run("\"..\\bin dir\\Qvn\" " + std::string(option));
  };
  FileTail log;
  RunResult r = runCopy("-install");
  EXPECT_EQ(r.output, kBanner + "Installing Quorvane service...\r\n");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(eventMessageFile(), binDir + "\\Qvn.exe");
  // Wine 8 does not know the delayed start: said, and installed anyway.
  EXPECT_TRUE(log.contains("Delayed automatic start not known to this system: Qvn starts with"
                           " the other automatic services\r\n"))
      << log.text();
  ServiceConfig config = queryServiceConfig("Qvn");
  EXPECT_EQ(config.binaryPath, "\"" + binDir + "\\Qvn.exe\" -service");
  EXPECT_EQ(config.startType, DWORD(SERVICE_AUTO_START));
  EXPECT_EQ(config.displayName, "Qvn");
  EXPECT_EQ(config.description, "Run services at desired time");
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));
  EXPECT_TRUE(waitFor([&] { return log.contains("Schedule loaded"); })); // none of it later
  // Registered already: a failure, said on the console, reason in the log.
  log.mark();
  r = runCopy("-install");
  EXPECT_TRUE(r.has("Unable to install Quorvane service, see C:\\Qvn.log\r\n")) << r.output;
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(log.text(), logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS));
  DWORD pid = serviceProcessId("Qvn");
  for (int i = 0; i < 2; ++i) { // the second time there is nothing to remove
    r = runCopy("-desinstall");
    EXPECT_EQ(r.output, kBanner + "Desinstalling Quorvane service...\r\n");
    EXPECT_EQ(r.exitCode, 0u);
  }
  EXPECT_TRUE(waitForServiceGone("Qvn"));
  EXPECT_TRUE(waitForProcessEnd(pid));
  EXPECT_EQ(eventMessageFile(), "");
  SetCurrentDirectoryA(previous);
}

// The report's lines from the chart on, from the clock at call time.
std::string weekAndWanted(const std::string &start, const std::string &stop) {
  WeeklySchedule s;
  parseScheduleValue(start, true, s);
  parseScheduleValue(stop, false, s);
  SYSTEMTIME local;
  GetLocalTime(&local);
  std::int32_t now = minuteOfWeek(local);
  std::string text;
  for (const std::string &line : weekChart(s, now))
    text += line + "\r\n";
  bool wanted = wantedState(s, now);
  return text + "  Enforced: ForceStop\r\n  Wanted now: " + (wanted ? "running" : "stopped") +
         "; next change " + weekdayTime(*nextChange(s, now)) +
         (wanted ? " (stop)\r\n" : " (start)\r\n");
}

TEST(ScheduleReport, ReportsTheScheduleAndItsProblemsAndChangesNothing) {
  const std::string dir = "C:\\qvn cfg";
  CreateDirectoryA(dir.c_str(), nullptr);
  ServiceCleanup office(uniqueServiceName("QvnCfgOffice")), typo(uniqueServiceName("QvnCfgTypo")),
      off(uniqueServiceName("QvnCfgOff"));
  ASSERT_TRUE(registerTestService(office.name()) && registerTestService(typo.name()) &&
              registerService(off.name(), testServiceCommand(), SERVICE_DISABLED));
  const std::string valid =
      lines({"[" + office.name() + "]", "Start=12345:0800", "Stop=12345:1800", "ForceStop=y"});
  ASSERT_TRUE(writeFile(dir + "\\Qvn.ini", valid));
  std::string expected = weekAndWanted("12345:0800", "12345:1800");
  RunResult r = runQvn("-test Qvn.ini", dir); // relative to the current directory
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner + "Schedule file: " + dir + "\\Qvn.ini\r\n[" + office.name() +
                          "]\r\n  Service: " + office.name() +
                          ", stopped\r\n  Points: Mon 08:00 start, Mon 18:00 stop, Tue 08:00 "
                          "start, Tue 18:00 stop, Wed 08:00 start, Wed 18:00 stop, Thu 08:00 "
                          "start, Thu 18:00 stop, Fri 08:00 start, Fri 18:00 stop\r\n" +
                          expected +
                          "Scheduler: \"Qvn\" is not installed\r\n1 service(s), 0 problem(s)\r\n")
      << "or the minute turned: " << expected;

  // Everything the service would ignore or Windows refuse, each once, under its section.
  ASSERT_TRUE(writeFile(
      dir + "\\Qvn.ini",
      "Start=0:0000\r\n" + valid +
          lines({"[QvnCfgNoSuchService]", "Start=3:1200,4:1200,5:1200", "Strat=1:0800",
                 "Start=2:0800", "ForceStop=y", "[" + typo.name() + "]", "Stop=1:2400", "[Qvn]",
                 "Stop=0123456:0000", "[" + off.name() + "]", "Stop=1:0800", "ForceStart=y"})));
  r = runQvn("-test Qvn.ini", dir);
  EXPECT_EQ(r.exitCode, 1u);
  for (const std::string &text :
       {lines({"[QvnCfgNoSuchService]", "  Service: not installed", "  Points: Wed 12:00 start",
               "  Week: wanted running all week", "  Enforced: ForceStop",
               "  Wanted now: running; never changes", "  Unknown key \"Strat\": ignored",
               "  Repeated key \"Start\": only the first is read",
               "  Ignored text \",4:1200,5:1200\" after entry \"3:1200\"",
               "  ForceStop=y never acts: no stop point"}),
        lines({"  Ignored entry \"1:2400\": hour above 23"}),
        lines(
            {"Problem: Ignoring schedule section Qvn: the scheduler never starts or stops itself"}),
        lines({"  Service disabled: Windows will not start it"}),
        lines({"Problem: Schedule file " + dir +
               "\\Qvn.ini: line 1 comes before the first section and is ignored: Start=0:0000"}),
        lines({"4 service(s), 10 problem(s)"})})
    EXPECT_TRUE(r.has(text)) << text << r.output;

  // The Windows directory's file by default: nothing logged; none at all is no problem.
  const std::string ini = windowsDir() + "\\Qvn.ini";
  ASSERT_TRUE(writeFile(ini, valid));
  FileTail log;
  r = runQvn("-test");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(r.has("Schedule file: " + ini + "\r\n")) << r.output;
  EXPECT_EQ(log.text(), "");
  DeleteFileA(ini.c_str());
  r = runQvn("-test");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(r.has(ini + " not found")) << r.output;
}

TEST(ScheduleReport, AFileTheServiceCannotUseFullyIsAProblem) {
  const std::string ini = "C:\\qvn cfg\\bad.ini";
  CreateDirectoryA("C:\\qvn cfg", nullptr);
  std::string utf16, cyrillic = "\xFF\xFE";
  for (char c : std::string("[Spooler]\r\n"))
    utf16 += std::string(1, c) + '\0';
  for (char16_t c : std::u16string(u"[\u0421\u043B\u0443\u0436\u0431\u0430]\r\n"))
    cyrillic += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  const struct {
    std::string content, says;
  } rows[] = {
      {"", "\\bad.ini not found, nothing is scheduled"}, // asked for by name
      {"\xEF\xBB\xBF[Spooler]\r\n", "bad.ini starts with a UTF-8 byte-order mark, which Windows "
                                    "does not read: save it as ANSI or Unicode"},
      {utf16, "bad.ini holds text but no section: save it as ANSI or Unicode"},
      {cyrillic, ": its name does not survive the system code page"},
      {"[Spooler]\r\n", "bad.ini cannot be read: "}, // held by a program that shares nothing
  };
  for (const auto &row : rows) {
    DeleteFileA(ini.c_str());
    ASSERT_TRUE(row.content.empty() || writeFile(ini, row.content));
    UniqueKernelHandle held(&row == &rows[4] ? CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr,
                                                           OPEN_EXISTING, 0, nullptr)
                                             : nullptr);
    RunResult r = runQvn("-test \"" + ini + "\"");
    EXPECT_EQ(r.exitCode, 1u) << row.says;
    EXPECT_TRUE(r.has(row.says)) << r.output;
  }
  DeleteFileA(ini.c_str());
}

} // namespace
