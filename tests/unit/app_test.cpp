// Which command a command line names; what -test may ask of a service without an elevated
// prompt, how it words what it finds, and its whole report from the schedule and the facts.
#include "app/command_line.h"
#include "app/schedule_report.h"
#include "app/service_wording.h"
#include "schedule_records.h"
#include "scm/service_access.h"

#include <gtest/gtest.h>

namespace {

Invocation parse(std::initializer_list<const char *> args) {
  std::vector<const char *> argv(args);
  return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, OnlyTheWholeOptionInItsCaseMatchesAndOnlySomeTakeAnArgument) {
  EXPECT_EQ(parse({"Qvn", "-install_fah"}).command, Command::InstallFah);
  EXPECT_EQ(parse({"Qvn", "-install"}).command, Command::Install);
  for (const char *arg :
       {"-TEST", "-test ", "-instal", "-install_", "-install_fahx", "install", ""})
    EXPECT_EQ(parse({"Qvn", arg}).command, Command::Unknown) << "'" << arg << "'";
  EXPECT_EQ(parse({"Qvn"}).command, Command::Missing);
  EXPECT_EQ(parse({"Qvn", "-desinstall_fah", "home", "extra"}).argument, "home");
  EXPECT_FALSE(parse({"Qvn", "-install_fah"}).argument);
  EXPECT_FALSE(parse({"Qvn", "-service", "x"}).argument);
  EXPECT_EQ(parse({"Qvn", "-hold", "S", "stopped", "2026-12-10", "08:00", "x"}).more,
            (std::vector<std::string>{"stopped", "2026-12-10", "08:00"}));
}

// What -test reads asks only for what any local user is granted on a service of default
// security, and only a connect on the manager: it works from a non-elevated prompt.
TEST(ServiceQuery, ReadsAskOnlyForWhatAnyLocalUserIsGrantedAndFailuresAndDependentsAreWorded) {
  using namespace rights;
  const std::uint32_t granted = kQueryStatus | kQueryConfig | kEnumerateDependents | kInterrogate |
                                kUserDefinedControl | kReadControl;
  for (ServiceOperation op : {ServiceOperation::QueryStatus, ServiceOperation::QueryConfig,
                              ServiceOperation::ListDependents})
    EXPECT_TRUE(accessFor(op).manager == 0 && (accessFor(op).service & ~granted) == 0 &&
                accessFor(op).service != 0)
        << static_cast<int>(op);
  // How a failure and the dependents the schedule leaves running are worded.
  EXPECT_EQ(queryFailureText(1060, "x"), "not installed");
  EXPECT_EQ(queryFailureText(5, "Access denied."),
            "access denied: run from an elevated prompt to see it");
  EXPECT_EQ(queryFailureText(1053, "The service did not respond."),
            "cannot be queried: The service did not respond.");
  // Any case matches; no points: wanted running always.
  std::list<ServiceRecord> records{record("Parent"),
                                   record("sameStop"),
                                   record("EarlierStop", "1:0800", "1:1700"),
                                   record("LaterStop", "1:0800", "1:1801"),
                                   record("NoPoints", "", ""),
                                   record("StartOnly", "1:0800", "")};
  const std::vector<std::string> dependents{"SameStop", "EarlierStop", "LaterStop", "NoPoints",
                                            "Unlisted"};
  EXPECT_EQ(unstoppedDependentsText(records.front(), dependents, records),
            "Dependents not stopped by the schedule: LaterStop, NoPoints, Unlisted "
            "(Windows refuses to stop the service while they run)");
  EXPECT_EQ(unstoppedDependentsText(records.front(), {"SameStop", "EarlierStop"}, records), "");
  // Nothing to say for a section that never stops its service.
  EXPECT_EQ(unstoppedDependentsText(records.back(), dependents, records), "");
}

// Sections with their services as the system answered and their problems, then what belongs to
// no section, the scheduler and the count. (A file that is not there: ScheduleReport.)
TEST(TestReport, EachSectionWithItsServiceScheduleAndProblemsThenTheSchedulerAndTheCount) {
  using Names = std::vector<std::string>;
  IniFile file;
  file.state = IniFile::State::Read;
  for (const Names &section : {Names{"Office", "Start=1:0800", "Stop=1:1800", "ForceStop=y",
                                     "Strat=1:0900", "Holidays=1970-01-12;1970-02-30"},
                               Names{"Gone", "Start=3:1200,4:1200", "Stop=1:2400"}, Names{"Qvn"}}) {
    file.sections.emplace_back().name = section[0];
    addSectionLines(file.sections.back(), Names(section.begin() + 1, section.end()));
  }
  ScheduleFacts facts;
  facts.path = "C:\\cfg\\Qvn.ini";
  facts.refusal = Refusal{"C:\\cfg can be changed by Everyone", "icacls x", false};
  facts.localNow =
      (4 * 1440 + 9 * 60) * 60000; // Monday 1970-01-05 09:00; "Gone" has no facts: not installed
  facts.services["Office"] = {0, "", "Office work", 4, false, Names{"Child"}};
  facts.scheduler = SchedulerFacts{7, "\"C:\\q\\Qvn.exe\" -service", false};
  LoadedSchedule loaded = loadSchedule(file, "Qvn");
  loaded.records.back().hold = Hold{false, (6 * 1440 + 10 * 60) * 60000}; // Wed 1970-01-07 10:00
  ServiceRecord &onlyHeld = loaded.records.emplace_back(); // never checked as disabled
  std::tie(onlyHeld.name, onlyHeld.scheduled, onlyHeld.hold) =
      std::make_tuple("Lone", false, Hold{true, std::nullopt});
  facts.services["Lone"] = {0, "", "Lone", 1, true, Names{}}; // disabled, held running
  TestReport report = buildTestReport(std::move(loaded), facts);
  ASSERT_GT(report.lines.size(), 15u);
  EXPECT_EQ(report.lines[6].rfind("  Week  ", 0), 0u); // the chart, tested with the schedule
  report.lines.erase(report.lines.begin() + 6, report.lines.begin() + 15);
  EXPECT_EQ(report.lines,
            (Names{"Schedule file: C:\\cfg\\Qvn.ini",
                   "Problem: C:\\cfg can be changed by Everyone: the service does not load it",
                   "Fix: icacls x",
                   "[Office]",
                   "  Service: Office work, running",
                   "  Points: Mon 08:00 start, Mon 18:00 stop",
                   "  Holidays in the next 30 days, run as Sun: 1970-01-12",
                   "  Enforced: ForceStop",
                   "  Wanted now: running; next change Mon 18:00 (stop)",
                   "  Next change: Mon 1970-01-05 18:00 stop (point)",
                   "  Next change: Mon 1970-01-19 08:00 start (point)",
                   "  Next change: Mon 1970-01-19 18:00 stop (point)",
                   "  Dependents not stopped by the schedule: Child (Windows refuses to stop the "
                   "service while they run)",
                   "  Unknown key \"Strat\": ignored",
                   "  Ignored holiday \"1970-02-30\": no such day",
                   "[Gone]",
                   "  Service: not installed",
                   "  Points: Wed 12:00 start",
                   "  Week: wanted running all week",
                   "  Held: stopped until Wed 1970-01-07 10:00",
                   "  Wanted now: stopped; next change Wed 10:00 (start)",
                   "  Next change: Wed 1970-01-07 10:00 start (hold ends)",
                   "  Ignored text \",4:1200\" after entry \"3:1200\"",
                   "  Ignored entry \"1:2400\": hour above 23",
                   "[Lone]",
                   "  Service: Lone, stopped",
                   "  Not in the schedule file: only held, then left as it is",
                   "  Held: running until released",
                   "Problem: Ignoring schedule section Qvn: the scheduler never starts or stops "
                   "itself",
                   "Scheduler: \"Qvn\" is installed, paused, and runs \"C:\\q\\Qvn.exe\" -service",
                   "3 service(s), 8 problem(s)"}));
}

} // namespace
