// What -test can learn about a service without an elevated prompt, and how
// it words what it finds.
#include "app/service_wording.h"
#include "scm/service_access.h"

#include <gtest/gtest.h>

namespace {

using namespace rights;

TEST(ServiceQuery, EachOperationAsksOnlyForTheRightsItsCallsUse) {
  // What a local user is granted on the manager and on a service of default security.
  const std::uint32_t managerForUsers =
      kManagerConnect | 0x4 /* enumerate */ | 0x10 /* query lock status */ | kReadControl;
  const std::uint32_t serviceForUsers = kQueryConfig | kQueryStatus | kEnumerateDependents |
                                        kInterrogate | kUserDefinedControl | kReadControl;
  struct Row {
    ServiceOperation operation;
    ServiceAccess needed; // what its calls use (manager 0: connect only)
    bool forAnyUser;      // a read that must work without elevation
  };
  const Row rows[] = {
      {ServiceOperation::QueryStatus, {0, kQueryStatus}, true},
      {ServiceOperation::QueryConfig, {0, kQueryConfig}, true},
      {ServiceOperation::ListDependents, {0, kEnumerateDependents}, true},
      {ServiceOperation::Start, {0, kStart}, false},
      {ServiceOperation::Stop, {0, kStop}, false},
      // Marks it for deletion, reads its status, stops it: no right to
      // change its security or owner.
      {ServiceOperation::Delete, {0, kDelete | kQueryStatus | kStop}, false},
      {ServiceOperation::Create,
       {kManagerCreateService, kStandardRequired | kChangeConfig | kStart},
       false},
  };
  for (const Row &row : rows) {
    ServiceAccess access = accessFor(row.operation);
    int op = static_cast<int>(row.operation);
    EXPECT_EQ(access.manager, row.needed.manager) << op;
    EXPECT_EQ(access.service, row.needed.service) << op;
    if (row.forAnyUser) {
      EXPECT_EQ(access.manager & ~managerForUsers, 0u) << op;
      EXPECT_EQ(access.service & ~serviceForUsers, 0u) << op;
    }
  }
}

TEST(ServiceQuery, HowAFailedQueryIsWorded) {
  EXPECT_EQ(queryFailureText(1060, "x"), "not installed");
  EXPECT_EQ(queryFailureText(5, "Access denied."),
            "access denied: run from an elevated prompt to see it");
  EXPECT_EQ(queryFailureText(1053, "The service did not respond."),
            "cannot be queried: The service did not respond.");
}

ServiceRecord section(const std::string &name, std::vector<ScheduleEntry> points) {
  ServiceRecord r;
  r.name = name;
  for (const ScheduleEntry &p : points)
    insertSorted(r.schedule, p);
  return r;
}

TEST(ServiceQuery, NamesTheDependentsTheScheduleLeavesRunningAtAStop) {
  const std::int32_t mon0800 = 1440 + 480, mon1800 = 1440 + 1080, mon1700 = 1440 + 1020;
  std::list<ServiceRecord> records{
      section("Parent", {{mon0800, true}, {mon1800, false}}),
      section("sameStop", {{mon0800, true}, {mon1800, false}}), // any case matches
      section("EarlierStop", {{mon0800, true}, {mon1700, false}}),
      section("LaterStop", {{mon0800, true}, {mon1800 + 1, false}}),
      section("NoPoints", {}), // wanted running always
      section("StartOnly", {{mon0800, true}}),
  };
  const ServiceRecord &parent = records.front();
  const std::vector<std::string> dependents{"SameStop", "EarlierStop", "LaterStop", "NoPoints",
                                            "Unlisted"};
  EXPECT_EQ(unstoppedDependentsText(parent, dependents, records),
            "Dependents not stopped by the schedule: LaterStop, NoPoints, Unlisted "
            "(Windows refuses to stop the service while they run)");
  EXPECT_EQ(unstoppedDependentsText(parent, {"SameStop", "EarlierStop"}, records), "");
  // Nothing to say for a section that never stops its service.
  EXPECT_EQ(unstoppedDependentsText(records.back(), dependents, records), "");
}

} // namespace
