// The real Qvn.exe from a console: usage, exit codes and the log; "-install" and "-desinstall"
// of the service "Qvn" and its event source "Quorvane"; "-test": the schedule as the service
// would read it, with everything it would ignore, reported without changing anything.
#include "scheduler/calendar.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

TEST(App, NoArgumentOrAnUnknownOnePrintsTheUsageAndTheServiceOptionFails) {
  RunResult r = runQvn("");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output,
            kBanner + lines({"Usage:", "   Qvn -install", "      Install Quorvane",
                             "   Qvn -install_fah <configuration>",
                             "      Install Folding@Home as a service", "   Qvn -desinstall",
                             "      Desinstall Quorvane", "   Qvn -desinstall_fah <configuration>",
                             "      Desinstall Folding@Home as a service", "   Qvn -test",
                             "      Test Quorvane configuration",
                             "   Qvn -hold <service> running|stopped [YYYY-MM-DD HH:MM]",
                             "      Keep a service in a state until that time or until released",
                             "   Qvn -release <service>", "      End a service's hold", ""}));
  RunResult unknown = runQvn("-TEST");
  EXPECT_EQ(unknown.exitCode, 0u);
  EXPECT_EQ(unknown.output, r.output);
  // The service's own option from a console fails, and the run appends to the log.
  ASSERT_TRUE(writeFile("C:\\Qvn.log", "earlier entry\r\n"));
  r = runQvn("-service");
  EXPECT_EQ(std::make_pair(r.exitCode, r.output), std::make_pair(DWORD(1), kBanner));
  EXPECT_EQ(readFile("C:\\Qvn.log"),
            "earlier entry\r\n" + logErrorEntry("StartServiceCtrlDispatcher()", 1063));
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
  EXPECT_EQ(serviceConfig("Qvn"), // 2: automatic
            "2 \"" + binDir + "\\Qvn.exe\" -service, Qvn, Run services at desired time");
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));
  EXPECT_TRUE(waitFor([&] { return log.contains("Schedule loaded"); })); // none of it later
  // Registered already: a failure, said on the console, reason in the log.
  log.mark();
  r = runCopy("-install");
  EXPECT_TRUE(r.has("Unable to install Quorvane service, see C:\\Qvn.log\r\n")) << r.output;
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(log.text(), logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS));
  // Paused, it is stopped and gone before the removal returns, so an install right after works.
  DWORD pid = serviceProcessId("Qvn");
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSED));
  EXPECT_EQ(runCopy("-desinstall").exitCode, 0u);
  EXPECT_TRUE(serviceGone("Qvn") && waitForProcessEnd(pid, 5000));
  EXPECT_EQ(runCopy("-install").exitCode, 0u);
  for (int i = 0; i < 2; ++i) { // the second time there is nothing to remove
    r = runCopy("-desinstall");
    EXPECT_EQ(r.output, kBanner + "Desinstalling Quorvane service...\r\n");
    EXPECT_EQ(r.exitCode, 0u);
  }
  EXPECT_TRUE(waitForServiceGone("Qvn"));
  EXPECT_EQ(eventMessageFile(), "");
  SetCurrentDirectoryA(previous);
}

// One run per role: a file named relative to the current directory, each service as the manager
// answers for it, the count; the Windows directory's file by default with the clock's minute under
// today, nothing logged; none there is no problem, a file named but absent is.
TEST(ScheduleReport, ReportsTheFileAndEachServiceAsTheManagerAnswersAndChangesNothing) {
  const std::string dir = "C:\\qvn cfg";
  CreateDirectoryA(dir.c_str(), nullptr);
  ServiceCleanup office(uniqueServiceName("QvnCfgOffice")), off(uniqueServiceName("QvnCfgOff"));
  ASSERT_TRUE(registerTestService(office.name()) &&
              registerTestService(off.name(), "", SERVICE_DISABLED));
  ASSERT_TRUE(writeFile(dir + "\\Qvn.ini",
                        lines({"[" + office.name() + "]", "Stop=1:2400", "[QvnCfgNoSuchService]",
                               "[" + off.name() + "]", "ForceStart=y"})));
  RunResult r = runQvn("-test Qvn.ini", dir);
  EXPECT_EQ(r.exitCode, 1u);
  const std::string always = lines({"  Points: none", "  Week: wanted running all week"}),
                    now = "  Wanted now: running; never changes\r\n";
  EXPECT_EQ(r.output,
            kBanner + "Schedule file: " + dir + "\\Qvn.ini\r\n[" + office.name() +
                "]\r\n  Service: " + office.name() + ", stopped\r\n" + always + now +
                "  Ignored entry \"1:2400\": hour above 23\r\n[QvnCfgNoSuchService]\r\n"
                "  Service: not installed\r\n" +
                always + now + "[" + off.name() + "]\r\n  Service: " + off.name() +
                ", stopped\r\n" + always + "  Enforced: ForceStart\r\n" + now +
                lines({"  Service disabled: Windows will not start it",
                       "Scheduler: \"Qvn\" is not installed", "3 service(s), 3 problem(s)"}));

  // Today a holiday, run as Sunday: the week as every day, the next change with its date.
  const std::string ini = windowsDir() + "\\Qvn.ini";
  SYSTEMTIME local;
  GetLocalTime(&local);
  const std::int64_t today = daysFromCivil({local.wYear, local.wMonth, local.wDay});
  ASSERT_TRUE(
      writeFile(ini, lines({"[" + office.name() + "]", "Start=0123456:0000", "Stop=0123456:1200",
                            "Holidays=" + dateText(civilFromDays(today))})));
  FileTail log;
  r = runQvn("-test");
  EXPECT_EQ(r.exitCode, 0u);
  const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  const bool noon = local.wHour >= 12;
  EXPECT_TRUE(r.has("  Holidays in the next 30 days, run as Sun: " +
                    dateText(civilFromDays(today)) + "\r\n  Wanted now: ") &&
              r.has(std::string("  Next change: ") + days[(local.wDayOfWeek + noon) % 7] + " " +
                    dateText(civilFromDays(today + noon)) +
                    (noon ? " 00:00 start (holiday ends)" : " 12:00 stop (point)")))
      << r.output;
  EXPECT_TRUE(r.has(std::string("  ") + days[local.wDayOfWeek] + "   " + std::string(24, '#') +
                    std::string(24, '.') + "\r\n" +
                    std::string(8 + (local.wHour * 60 + local.wMinute) / 30, ' ') + "^ now\r\n"))
      << "or the half hour turned: " << r.output;
  EXPECT_EQ(log.text(), "");
  DeleteFileA(ini.c_str());
  EXPECT_EQ(runQvn("-test").exitCode, 0u); // none there is no problem
  r = runQvn("-test absent.ini", dir);
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(r.has("Schedule file: " + dir + "\\absent.ini not found, nothing is scheduled\r\n"))
      << r.output;
}

} // namespace
