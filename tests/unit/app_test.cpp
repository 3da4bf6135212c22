// Which command a command line names; what -test may ask of a service without an elevated
// prompt, and how it words what it finds.
#include "app/command_line.h"
#include "app/service_wording.h"
#include "scheduler/schedule_parser.h"
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
  EXPECT_EQ(parseCommandLine(0, nullptr).command, Command::Missing);
  EXPECT_EQ(parse({"Qvn", "-desinstall_fah", "home", "extra"}).argument, "home");
  EXPECT_EQ(parse({"Qvn", "-test", "my.ini"}).argument, "my.ini");
  EXPECT_FALSE(parse({"Qvn", "-install_fah"}).argument);
  EXPECT_FALSE(parse({"Qvn", "-install", "work"}).argument);
  EXPECT_FALSE(parse({"Qvn", "-service", "x"}).argument);
}

// What -test reads asks only for what any local user is granted on a service of default
// security, and only a connect on the manager: it works from a non-elevated prompt.
TEST(ServiceQuery, ReadsAskOnlyForWhatAnyLocalUserIsGranted) {
  using namespace rights;
  const std::uint32_t granted = kQueryStatus | kQueryConfig | kEnumerateDependents | kInterrogate |
                                kUserDefinedControl | kReadControl;
  for (ServiceOperation op : {ServiceOperation::QueryStatus, ServiceOperation::QueryConfig,
                              ServiceOperation::ListDependents})
    EXPECT_TRUE(accessFor(op).manager == 0 && (accessFor(op).service & ~granted) == 0 &&
                accessFor(op).service != 0)
        << static_cast<int>(op);
}

ServiceRecord section(const std::string &name, const char *start, const char *stop) {
  ServiceRecord r;
  r.name = name;
  parseScheduleValue(start, true, r.schedule);
  parseScheduleValue(stop, false, r.schedule);
  return r;
}

TEST(ServiceQuery, HowAFailureAndTheDependentsTheScheduleLeavesRunningAreWorded) {
  EXPECT_EQ(queryFailureText(1060, "x"), "not installed");
  EXPECT_EQ(queryFailureText(5, "Access denied."),
            "access denied: run from an elevated prompt to see it");
  EXPECT_EQ(queryFailureText(1053, "The service did not respond."),
            "cannot be queried: The service did not respond.");
  std::list<ServiceRecord> records{section("Parent", "1:0800", "1:1800"),
                                   section("sameStop", "1:0800", "1:1800"), // any case matches
                                   section("EarlierStop", "1:0800", "1:1700"),
                                   section("LaterStop", "1:0800", "1:1801"),
                                   section("NoPoints", "", ""), // wanted running always
                                   section("StartOnly", "1:0800", "")};
  const std::vector<std::string> dependents{"SameStop", "EarlierStop", "LaterStop", "NoPoints",
                                            "Unlisted"};
  EXPECT_EQ(unstoppedDependentsText(records.front(), dependents, records),
            "Dependents not stopped by the schedule: LaterStop, NoPoints, Unlisted "
            "(Windows refuses to stop the service while they run)");
  EXPECT_EQ(unstoppedDependentsText(records.front(), {"SameStop", "EarlierStop"}, records), "");
  // Nothing to say for a section that never stops its service.
  EXPECT_EQ(unstoppedDependentsText(records.back(), dependents, records), "");
}

} // namespace
