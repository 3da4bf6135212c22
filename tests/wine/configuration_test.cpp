// "Qvn -test": the schedule as the service would read it, reported without
// changing anything or writing to the log.
#include "scheduler/check_pass.h"
#include "scheduler/schedule_parser.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace qvntest;

namespace {

// What the report says the schedule wants now, from the clock at call time.
std::string wantedLine(const std::string &start, const std::string &stop) {
  WeeklySchedule s;
  parseScheduleValue(start, true, s);
  parseScheduleValue(stop, false, s);
  std::time_t t = std::time(nullptr);
  std::tm local = *std::localtime(&t);
  std::int32_t now = minuteOfWeek(local.tm_wday, local.tm_hour, local.tm_min);
  bool wanted = wantedState(s, now);
  return "  Wanted now: " + std::string(wanted ? "running" : "stopped") + "; next change " +
         weekdayTime(*nextChange(s, now)) + (wanted ? " (stop)\r\n" : " (start)\r\n");
}

TEST(ConfigurationTest, ReportsTheScheduleAndItsProblemsAndChangesNothing) {
  const std::string dir = "C:\\qvn cfg";
  CreateDirectoryA(dir.c_str(), nullptr);
  ServiceCleanup office(uniqueServiceName("QvnCfgOffice")), typo(uniqueServiceName("QvnCfgTypo"));
  ASSERT_TRUE(registerTestService(office.name()) && registerTestService(typo.name()));
  const std::string valid =
      "[" + office.name() + "]\r\nStart=12345:0800\r\nStop=12345:1800\r\nForceStop=y\r\n";
  ASSERT_TRUE(writeFile(dir + "\\Qvn.ini", valid));
  std::string wanted = wantedLine("12345:0800", "12345:1800");
  RunResult r = runQvn("-test Qvn.ini", dir); // relative to the current directory
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner + "Schedule file: " + dir + "\\Qvn.ini\r\n[" + office.name() +
                          "]\r\n  Service: " + office.name() +
                          ", stopped\r\n  Points: Mon 08:00 start, Mon 18:00 stop, Tue 08:00 "
                          "start, Tue 18:00 stop, Wed 08:00 start, Wed 18:00 stop, Thu 08:00 "
                          "start, Thu 18:00 stop, Fri 08:00 start, Fri 18:00 stop\r\n"
                          "  Enforced: ForceStop\r\n" +
                          wanted +
                          "Scheduler: \"Qvn\" is not installed\r\n1 service(s), 0 problem(s)\r\n")
      << "or the minute turned: " << wanted;

  ASSERT_TRUE(writeFile(dir + "\\Qvn.ini", valid + "[QvnCfgNoSuchService]\r\nStart=1:0800\r\n[" +
                                               typo.name() + "]\r\nStop=1:2400\r\n"));
  r = runQvn("-test Qvn.ini", dir);
  EXPECT_EQ(r.exitCode, 1u);
  for (const char *text :
       {"[QvnCfgNoSuchService]\r\n  Service: not installed\r\n",
        "  Ignored entry \"1:2400\": hour above 23\r\n", "3 service(s), 2 problem(s)\r\n"})
    EXPECT_NE(r.output.find(text), std::string::npos) << text << r.output;

  // The Windows directory's file by default: nothing logged; none at all is no problem.
  const std::string ini = windowsDir() + "\\Qvn.ini";
  ASSERT_TRUE(writeFile(ini, valid));
  FileTail log;
  r = runQvn("-test");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_NE(r.output.find("Schedule file: " + ini + "\r\n"), std::string::npos) << r.output;
  EXPECT_EQ(log.text(), "");
  DeleteFileA(ini.c_str());
  r = runQvn("-test");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_NE(r.output.find(ini + " not found"), std::string::npos) << r.output;
}

} // namespace
