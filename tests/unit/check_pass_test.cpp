#include "scheduler/scheduler.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <vector>

namespace {

using Calls = std::vector<std::string>;
const std::int32_t kMon0800 = 1440 + 8 * 60, kMon1800 = 1440 + 18 * 60; // Monday 08:00, 18:00
constexpr std::uint32_t kNoRetry = std::numeric_limits<std::uint32_t>::max();

// Services' states by name, the error every start and stop fails with (0:
// success); every call recorded in order, a start or stop not to be logged
// as "quiet".
struct FakeManager {
  std::map<std::string, std::uint32_t> states;
  std::uint32_t startError = 5, stopError = 0;
  std::vector<std::string> dependents;
  Calls calls;
  CheckActions actions{
      [this](const std::string &n) {
        calls.push_back("query " + n);
        return states.count(n) ? states[n] : kStateStopped;
      },
      [this](const std::string &n, bool logged) { return call("start ", n, logged, startError); },
      [this](const std::string &n, bool logged) { return call("stop ", n, logged, stopError); },
      [this](const std::string &n) { return calls.push_back("dependents " + n), dependents; },
      [this](const std::string &line, LogKind kind) {
        // Each start or stop sent is worth an information event.
        if (line.rfind("Starting ", 0) == 0 || line.rfind("Stopping ", 0) == 0) {
          EXPECT_EQ(kind, LogKind::Information) << line;
        }
        calls.push_back(line);
      },
      [this](const std::string &context, std::uint32_t error) {
        calls.push_back(context + ": " + std::to_string(error));
      }};
  Result call(const std::string &what, const std::string &n, bool logged, std::uint32_t error) {
    calls.push_back((logged ? "" : "quiet ") + what + n);
    return error ? Result::failure(error) : Result();
  }
  Calls at(std::list<ServiceRecord> &records, std::int32_t minute, std::uint32_t ms = 0) {
    calls.clear();
    checkRecordsAt(records, minute, ms, actions);
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
  // A start that fails for good (access denied) counts as done: not retried
  // while the wish stays.
  EXPECT_EQ(m.at(records, kMon0800 + 5), (Calls{"Starting service A", "start A"}));
  EXPECT_EQ(retryWaitMs(records, 0), kNoRetry);
  EXPECT_EQ(m.at(records, kMon1800 - 1, 60000), Calls{});
  EXPECT_EQ(m.at(records, kMon1800), (Calls{"Stopping service A", "stop A"}));

  // A stop or pause request ends the pass before the next record.
  records = {office("A"), office("B")};
  m.calls.clear();
  EXPECT_FALSE(checkRecordsAt(records, kMon0800, 0, m.actions, [&] { return m.calls.empty(); }));
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

TEST(CheckPass, WhichFailuresMayPass) {
  struct Row {
    bool starting;
    std::uint32_t error;
    std::uint32_t state; // what a query would answer
    bool mayPass;
  };
  const Row rows[] = {
      {true, 1055, 1, true},   // database locked (at boot)
      {false, 1061, 2, true},  // cannot accept the control (still starting)
      {false, 1052, 4, true},  // Wine: the stop is not accepted yet
      {false, 1051, 4, true},  // dependents still run
      {true, 1056, 3, true},   // "already running": still stopping
      {true, 1056, 4, false},  // really running
      {true, 1056, 2, false},  // on its way
      {false, 1056, 3, false}, // a stop does not say so
      {false, 1062, 1, false}, // not active: stopped already
      {true, 1058, 1, false},  // disabled
      {true, 1060, 1, false},  // no such service
      {false, 5, 4, false},    // access denied
      {true, 1053, 2, false},  // did not answer in time
  };
  for (const Row &row : rows) {
    int asked = 0;
    EXPECT_EQ(failureMayPass(row.starting, row.error, [&] { return ++asked, row.state; }),
              row.mayPass)
        << row.error;
    EXPECT_EQ(asked, row.starting && row.error == 1056 ? 1 : 0) << row.error;
  }
}

TEST(CheckPass, RetryDueThirtySecondsAfterTheLastFailure) {
  std::list<ServiceRecord> records(3);
  EXPECT_EQ(retryWaitMs(records, 5000), kNoRetry);
  auto it = records.begin();
  (it++)->retry = PendingRetry{true, 1000, 1055};
  EXPECT_EQ(retryWaitMs(records, 1000), 30000u);
  EXPECT_EQ(retryWaitMs(records, 25000), 6000u);
  EXPECT_EQ(retryWaitMs(records, 31000), 0u);
  EXPECT_EQ(retryWaitMs(records, 90000), 0u);
  // The earliest of several; the steady count may wrap in between.
  it->retry = PendingRetry{false, 0xFFFFF000u, 1061};
  EXPECT_EQ(retryWaitMs(records, 4000), 30000u - 8096u);
}

TEST(CheckPass, AFailureThatMayPassIsRetriedQuietlyUntilItSucceeds) {
  std::list<ServiceRecord> records{office("A")};
  FakeManager m;
  m.stopError = 1061;
  EXPECT_EQ(m.at(records, kMon0800 - 60, 0),
            (Calls{"Stopping service A", "stop A", "Will try again every 30 s to stop service A"}));
  EXPECT_EQ(records.front().lastAction, LastAction::None); // not recorded as done
  EXPECT_EQ(m.at(records, kMon0800 - 60, 29999), Calls{}); // not due yet
  m.stopError = 1052;                                      // another "not now": still nothing said
  EXPECT_EQ(m.at(records, kMon0800 - 59, 30000), Calls{"quiet stop A"});
  EXPECT_EQ(retryWaitMs(records, 30000), 30000u);
  m.stopError = 0;
  EXPECT_EQ(m.at(records, kMon0800 - 59, 60000),
            (Calls{"quiet stop A", "Stopped service A on retry"}));
  EXPECT_EQ(retryWaitMs(records, 60000), kNoRetry);
  EXPECT_EQ(m.at(records, kMon0800 - 58, 90000), Calls{});

  // Running dependents are named once; a final failure ends the retries.
  m.at(records, kMon0800, 100000);
  m.stopError = 1051;
  m.dependents = {"B", "C"};
  EXPECT_EQ(m.at(records, kMon1800, 0), (Calls{"Stopping service A", "stop A", "dependents A",
                                               "Running services depend on A: B, C",
                                               "Will try again every 30 s to stop service A"}));
  EXPECT_EQ(m.at(records, kMon1800, 30000), Calls{"quiet stop A"});
  m.stopError = 5;
  EXPECT_EQ(m.at(records, kMon1800 + 1, 60000),
            (Calls{"quiet stop A", "Gave up trying to stop service A: 5"}));
  EXPECT_EQ(m.at(records, kMon1800 + 2, 120000), Calls{});

  // A change of the wish drops the retry and acts on the new wish at once.
  records = {office("A")};
  m.at(records, kMon0800 - 1, 0);
  m.startError = 0;
  EXPECT_EQ(m.at(records, kMon0800, 1000), (Calls{"Starting service A", "start A"}));
  EXPECT_EQ(retryWaitMs(records, 1000), kNoRetry);
}

} // namespace
