#include "scheduler/check_pass.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

const std::int32_t kMonday0800 = minuteOfWeek(1, 8, 0);
const std::int32_t kMonday1800 = minuteOfWeek(1, 18, 0);

// Fake service manager: states by name; records every call in order.
struct FakeManager {
  std::map<std::string, std::uint32_t> states;
  std::vector<std::string> calls;
  bool startResult = true;

  CheckActions actions() {
    CheckActions a;
    a.queryState = [this](const std::string &n) {
      calls.push_back("query " + n);
      auto it = states.find(n);
      return it == states.end() ? kStateStopped : it->second;
    };
    a.startService = [this](const std::string &n) {
      calls.push_back("start " + n);
      return startResult;
    };
    a.stopService = [this](const std::string &n) {
      calls.push_back("stop " + n);
      return true;
    };
    a.logLine = [this](const std::string &line) { calls.push_back("log " + line); };
    return a;
  }
  std::vector<std::string> take() { return std::exchange(calls, {}); }
};

// Running Monday 08:00 to 18:00, stopped otherwise.
ServiceRecord office(const std::string &name) {
  ServiceRecord r;
  r.name = name;
  insertSorted(r.schedule, {kMonday0800, true});
  insertSorted(r.schedule, {kMonday1800, false});
  return r;
}

using Calls = std::vector<std::string>;

TEST(CheckPass, FirstCheckActsOnEveryRecordWhateverTheState) {
  std::list<ServiceRecord> records{office("A"), office("B")};
  records.back().schedule.clear(); // wanted running always
  FakeManager m;
  m.states = {{"A", kStateStopped}, {"B", kStateRunning}};
  checkRecordsAt(records, kMonday0800 - 1, m.actions());
  EXPECT_EQ(m.take(),
            (Calls{"log Stopping service A", "stop A", "log Starting service B", "start B"}));
  EXPECT_EQ(records.front().lastAction, LastAction::Stopped);
  EXPECT_EQ(records.back().lastAction, LastAction::Started);
}

TEST(CheckPass, LaterChecksActOnlyWhenTheWantedStateChanges) {
  std::list<ServiceRecord> records{office("A")};
  FakeManager m;
  checkRecordsAt(records, kMonday0800 - 10, m.actions());
  m.take();
  // Same wanted state: nothing, not even a query.
  checkRecordsAt(records, kMonday0800 - 1, m.actions());
  EXPECT_EQ(m.take(), Calls{});
  checkRecordsAt(records, kMonday0800 + 5, m.actions());
  EXPECT_EQ(m.take(), (Calls{"log Starting service A", "start A"}));
  checkRecordsAt(records, kMonday1800 - 1, m.actions());
  EXPECT_EQ(m.take(), Calls{});
  checkRecordsAt(records, kMonday1800, m.actions());
  EXPECT_EQ(m.take(), (Calls{"log Stopping service A", "stop A"}));
}

TEST(CheckPass, FailedStartIsNotRetriedUnlessForced) {
  std::list<ServiceRecord> records{office("A")};
  FakeManager m;
  m.startResult = false;
  checkRecordsAt(records, kMonday0800, m.actions());
  EXPECT_EQ(records.front().lastAction, LastAction::Started);
  m.take();
  checkRecordsAt(records, kMonday0800 + 10, m.actions());
  EXPECT_EQ(m.take(), Calls{});
}

TEST(CheckPass, ForceActsOnlyOnASettledOppositeState) {
  std::list<ServiceRecord> records{office("A")};
  records.front().forceStart = true;
  records.front().forceStop = true;
  FakeManager m;
  checkRecordsAt(records, kMonday0800, m.actions());
  m.take();

  // Wanted running: stopped is acted on, every pending or paused state is not.
  for (std::uint32_t state : {2u, 3u, 4u, 5u, 6u, 7u}) {
    m.states["A"] = state;
    checkRecordsAt(records, kMonday0800 + 10, m.actions());
    EXPECT_EQ(m.take(), Calls{"query A"}) << state;
  }
  m.states["A"] = kStateStopped;
  checkRecordsAt(records, kMonday0800 + 20, m.actions());
  EXPECT_EQ(m.take(), (Calls{"query A", "log Starting service A", "start A"}));

  // Wanted stopped: first the change itself, then only a running service.
  checkRecordsAt(records, kMonday1800, m.actions());
  EXPECT_EQ(m.take(), (Calls{"log Stopping service A", "stop A"}));
  m.states["A"] = 7;
  checkRecordsAt(records, kMonday1800 + 10, m.actions());
  EXPECT_EQ(m.take(), Calls{"query A"});
  m.states["A"] = kStateRunning;
  checkRecordsAt(records, kMonday1800 + 20, m.actions());
  EXPECT_EQ(m.take(), (Calls{"query A", "log Stopping service A", "stop A"}));
}

} // namespace
