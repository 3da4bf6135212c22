#include "scheduler/check_pass.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using Calls = std::vector<std::string>;
const std::int32_t kMon0800 = minuteOfWeek(1, 8, 0), kMon1800 = minuteOfWeek(1, 18, 0);

// Services' states by name; every call recorded in order.
struct FakeManager {
  std::map<std::string, std::uint32_t> states;
  Calls calls;
  CheckActions actions{
      [this](const std::string &n) {
        calls.push_back("query " + n);
        return states.count(n) ? states[n] : kStateStopped;
      },
      [this](const std::string &n) { return calls.push_back("start " + n), Result::failure(5); },
      [this](const std::string &n) { return calls.push_back("stop " + n), Result(); },
      [this](const std::string &line, LogKind kind) {
        // Every line of a pass is an action worth an information event.
        EXPECT_EQ(kind, LogKind::Information) << line;
        calls.push_back(line);
      }};
  Calls at(std::list<ServiceRecord> &records, std::int32_t minute) {
    calls.clear();
    checkRecordsAt(records, minute, actions);
    return calls;
  }
};

// Running Monday 08:00 to 18:00, stopped otherwise.
ServiceRecord office(const std::string &name, bool forced = false) {
  ServiceRecord r;
  r.name = name;
  r.forceStart = r.forceStop = forced;
  insertSorted(r.schedule, {kMon0800, true});
  insertSorted(r.schedule, {kMon1800, false});
  return r;
}

TEST(CheckPass, ActsAtTheFirstCheckThenOnlyWhenTheWantedStateChanges) {
  std::list<ServiceRecord> records{office("A"), office("B")};
  records.back().schedule.clear(); // wanted running always
  FakeManager m;
  m.states["B"] = kStateRunning;
  EXPECT_EQ(m.at(records, kMon0800 - 1),
            (Calls{"Stopping service A", "stop A", "Starting service B", "start B"}));
  EXPECT_EQ(m.at(records, kMon0800 - 1), Calls{}); // not even a query
  // A failed start counts as done: not retried while the wish stays.
  EXPECT_EQ(m.at(records, kMon0800 + 5), (Calls{"Starting service A", "start A"}));
  EXPECT_EQ(m.at(records, kMon1800 - 1), Calls{});
  EXPECT_EQ(m.at(records, kMon1800), (Calls{"Stopping service A", "stop A"}));

  // A stop or pause request ends the pass before the next record.
  records = {office("A"), office("B")};
  m.calls.clear();
  EXPECT_FALSE(checkRecordsAt(records, kMon0800, m.actions, [&] { return m.calls.empty(); }));
  EXPECT_EQ(m.calls, (Calls{"Starting service A", "start A"}));
}

TEST(CheckPass, ForceActsOnlyOnASettledOppositeState) {
  std::list<ServiceRecord> records{office("A", true)};
  FakeManager m;
  m.at(records, kMon0800);
  // Wanted running: stopped is acted on, every pending or paused state is not.
  for (std::uint32_t state : {2u, 3u, 4u, 5u, 6u, 7u}) {
    m.states["A"] = state;
    EXPECT_EQ(m.at(records, kMon0800 + 10), Calls{"query A"}) << state;
  }
  m.states["A"] = kStateStopped;
  EXPECT_EQ(m.at(records, kMon0800 + 20), (Calls{"query A", "Starting service A", "start A"}));
  // Wanted stopped: only a running service is stopped again.
  m.at(records, kMon1800);
  m.states["A"] = 7;
  EXPECT_EQ(m.at(records, kMon1800 + 10), Calls{"query A"});
  m.states["A"] = kStateRunning;
  EXPECT_EQ(m.at(records, kMon1800 + 20), (Calls{"query A", "Stopping service A", "stop A"}));
  // Forced one way only: the other way is left alone.
  records.front().forceStop = false;
  EXPECT_EQ(m.at(records, kMon1800 + 30), Calls{});
}

} // namespace
