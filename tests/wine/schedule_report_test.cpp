// "Qvn -test": the schedule as the service would read it, reported without
// changing anything or writing to the log, with everything it would ignore.
#include "scheduler/scheduler.h"
#include "scheduler/schedule_parser.h"
#include "test_support.h"

#include <gtest/gtest.h>


using namespace qvntest;

namespace {

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

bool has(const RunResult &r, const std::string &s) { return r.output.find(s) != std::string::npos; }

TEST(ScheduleReport, ReportsTheScheduleAndItsProblemsAndChangesNothing) {
  const std::string dir = "C:\\qvn cfg";
  CreateDirectoryA(dir.c_str(), nullptr);
  ServiceCleanup office(uniqueServiceName("QvnCfgOffice")), typo(uniqueServiceName("QvnCfgTypo"));
  ASSERT_TRUE(registerTestService(office.name()) && registerTestService(typo.name()));
  const std::string valid =
      "[" + office.name() + "]\r\nStart=12345:0800\r\nStop=12345:1800\r\nForceStop=y\r\n";
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

  // Everything the service would ignore, each once, under its section.
  ASSERT_TRUE(writeFile(dir + "\\Qvn.ini",
                        valid +
                            "[QvnCfgNoSuchService]\r\nStart=3:1200,4:1200,5:1200\r\n"
                            "Strat=1:0800\r\nStart=2:0800\r\nForceStop=y\r\n[" +
                            typo.name() + "]\r\nStop=1:2400\r\n[Qvn]\r\nStop=0123456:0000\r\n"));
  r = runQvn("-test Qvn.ini", dir);
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(has(r, "[QvnCfgNoSuchService]\r\n  Service: not installed\r\n"
                     "  Points: Wed 12:00 start\r\n  Week: wanted running all week\r\n"
                     "  Enforced: ForceStop\r\n  Wanted now: running; never changes\r\n"
                     "  Unknown key \"Strat\": ignored\r\n"
                     "  Repeated key \"Start\": only the first is read\r\n"
                     "  Ignored text \",4:1200,5:1200\" after entry \"3:1200\"\r\n"
                     "  ForceStop=y never acts: no stop point\r\n"))
      << r.output;
  for (const char *text : {"  Ignored entry \"1:2400\": hour above 23\r\n",
                           "Problem: Ignoring schedule section Qvn: the scheduler never starts or "
                           "stops itself\r\n",
                           "3 service(s), 7 problem(s)\r\n"})
    EXPECT_TRUE(has(r, text)) << text << r.output;

  // The Windows directory's file by default: nothing logged; none at all is no problem.
  const std::string ini = windowsDir() + "\\Qvn.ini";
  ASSERT_TRUE(writeFile(ini, valid));
  FileTail log;
  r = runQvn("-test");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(has(r, "Schedule file: " + ini + "\r\n")) << r.output;
  EXPECT_EQ(log.text(), "");
  DeleteFileA(ini.c_str());
  r = runQvn("-test");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(has(r, ini + " not found")) << r.output;
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
    if (!row.content.empty()) {
      ASSERT_TRUE(writeFile(ini, row.content));
    }
    bool hold = &row == &rows[4];
    HANDLE held =
        hold ? CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
             : INVALID_HANDLE_VALUE;
    RunResult r = runQvn("-test \"" + ini + "\"");
    if (hold)
      CloseHandle(held);
    EXPECT_EQ(r.exitCode, 1u) << row.says;
    EXPECT_TRUE(has(r, row.says)) << r.output;
  }
  DeleteFileA(ini.c_str());
}

} // namespace
