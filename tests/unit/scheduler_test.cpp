// The scheduler's decisions: a changed Qvn.ini read once still, a check pass, failures and their
// retries, the next wake, the controls it takes, and the time it reads the schedule at across
// offset changes.
#include "schedule_records.h"
#include "scheduler/calendar.h"
#include "scheduler/file_settle.h"
#include "scheduler/holds.h"
#include "scheduler/next_changes.h"
#include "scheduler/scheduler.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

namespace {

constexpr std::int32_t kMon0800 = 1440 + 8 * 60, kMon1800 = 1440 + 18 * 60;
constexpr std::uint32_t kNoRetry = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute;
// A local time in the week of Sunday 1970-01-04, at a minute of that week.
constexpr std::int64_t inFirstWeek(std::int32_t minute) { return (3 * 1440 + minute) * kMinute; }

// Services' states by name (none: the query fails), the error every start and stop fails with (0:
// success, the state follows); every call and line in order ("; " between), a start or stop not to
// be logged as "quiet". With a stamp, only the lines are kept, each after its stamp.
struct Manager {
  std::map<std::string, std::uint32_t> states;
  std::uint32_t startError = 5, stopError = 0;
  std::vector<std::string> dependents;
  std::string calls;
  std::function<std::string()> stamp;
  std::size_t quietAt = 0; // the last start or stop, "quiet " until its result is logged
  void note(const std::string &call, bool line = false) {
    if (line || !stamp)
      calls += (calls.empty() ? "" : "; ") + (line && stamp ? stamp() : "") + call;
  }
  Result call(std::string what, const std::string &n, std::uint32_t error) {
    note("quiet " + what + " " + n);
    quietAt = calls.rfind("quiet ");
    if (error)
      return Result::failure(error);
    states[n] = what == "start" ? scm::kStateRunning : scm::kStateStopped;
    return Result();
  }
  CheckActions actions{
      [this](const std::string &n) {
        note("query " + n);
        return states[n] ? Expected<std::uint32_t>(states[n]) : Result::failure(1060);
      },
      [this](const std::string &n) { return call("start", n, startError); },
      [this](const std::string &n) { return call("stop", n, stopError); },
      [this](const std::string &n) { return note("dependents " + n), dependents; },
      [this](const std::string &line, LogKind kind) {
        // Each start or stop sent is worth an information event.
        EXPECT_TRUE(kind == LogKind::Information ||
                    (line.rfind("Starting ", 0) && line.rfind("Stopping ", 0)))
            << line;
        note(line, true);
      },
      [this](const std::string &context, std::uint32_t error) {
        note(context + ": " + std::to_string(error), true);
      },
      [this](const Result &) {
        if (!stamp)
          calls.erase(quietAt, 6);
      },
      [this](const std::string &n, const Hold &) { note("hold ended " + n, true); }};
  std::string at(std::list<ServiceRecord> &records, std::int32_t minute, std::uint32_t ms = 0) {
    calls.clear();
    checkRecordsAt(records, inFirstWeek(minute), ms, actions);
    return calls;
  }
};

TEST(CheckPass, ActsAtTheFirstCheckThenOnlyWhenTheWantedStateChanges) {
  std::list<ServiceRecord> records{record("A"), record("B", "", "")}; // B: running always
  Manager m;
  m.states["B"] = scm::kStateRunning;
  EXPECT_EQ(m.at(records, kMon0800 - 1), "Stopping service A; stop A; Starting service B; start B");
  EXPECT_EQ(m.at(records, kMon0800 - 1), ""); // not even a query
  // A start that fails for good (access denied) counts as done: not retried while the wish stays.
  EXPECT_EQ(m.at(records, kMon0800 + 5), "Starting service A; start A");
  EXPECT_EQ(retryWaitMs(records, 0), kNoRetry);
  EXPECT_EQ(m.at(records, kMon1800 - 1, 60000), "");
  EXPECT_EQ(m.at(records, kMon1800), "Stopping service A; stop A");
  // A stop or pause request ends the pass before the next record.
  records = {record("A"), record("B")};
  m.calls.clear();
  EXPECT_FALSE(checkRecordsAt(records, inFirstWeek(kMon0800), 0, m.actions,
                              [&] { return m.calls.empty(); }));
  EXPECT_EQ(m.calls, "Starting service A; start A");
}

TEST(CheckPass, ForceActsOnlyOnASettledOppositeState) {
  std::list<ServiceRecord> records{record("A", "1:0800", "1:1800", true)};
  Manager m;
  m.startError = 0;
  m.at(records, kMon0800);
  // Wanted running: stopped is acted on, every pending or paused state is not.
  for (std::uint32_t state : {2u, 3u, 4u, 5u, 6u, 7u}) {
    m.states["A"] = state;
    EXPECT_EQ(m.at(records, kMon0800 + 10), "query A") << state;
  }
  m.states["A"] = scm::kStateStopped;
  EXPECT_EQ(m.at(records, kMon0800 + 20), "query A; Starting service A; start A");
  // Wanted stopped: a running service is stopped again.
  m.at(records, kMon1800);
  m.states["A"] = scm::kStateRunning;
  EXPECT_EQ(m.at(records, kMon1800 + 20), "query A; Stopping service A; stop A");
  records.front().forceStop = false; // forced one way only: the other way is left alone
  EXPECT_EQ(m.at(records, kMon1800 + 30), "");
}

// A hold overrides the schedule and is kept as a forced state is, until its time: then it ends,
// the schedule rules at once, and a service held without a schedule is let go.
TEST(CheckPass, AHoldRulesUntilItsTimeThenTheScheduleDoes) {
  std::list<ServiceRecord> records{record("A"), record("B")};
  records.front().hold = Hold{false, inFirstWeek(kMon0800 + 30)};
  records.back().hold = Hold{true, std::nullopt};
  records.back().scheduled = false;
  Manager m;
  m.startError = 0;
  m.states["A"] = scm::kStateRunning;
  EXPECT_EQ(m.at(records, kMon0800), "Stopping service A; stop A; Starting service B; start B");
  m.states["A"] = m.states["B"] = scm::kStateRunning;
  EXPECT_EQ(m.at(records, kMon0800 + 10), "query A; Stopping service A; stop A; query B");
  EXPECT_EQ(m.at(records, kMon0800 + 30), "hold ended A; Starting service A; start A; query B");
  records.back().hold->untilLocalMs = inFirstWeek(kMon0800 + 40);
  EXPECT_EQ(m.at(records, kMon0800 + 40), "hold ended B");
  EXPECT_EQ(records.size(), 1u);
}

// The next changes of the wanted state, with their causes: a holiday runs as its HolidayAs day
// (a range over a year's and a month's end, yearly dates, 02-29 only in leap years; "-": not at
// all), a hold rules until its time, also one ending inside a holiday.
TEST(NextChanges, HolidaysAndHoldsAmongThePoints) {
  auto at = [](const char *text) { return *parseLocalTime(text); };
  // Running but on Sundays, or 08:00 to 18:00 on workdays; its holidays, the day they run as.
  auto with = [](bool office, const char *holidays, std::optional<int> as,
                 std::optional<Hold> hold = std::nullopt) {
    ServiceRecord r =
        office ? record("O", "12345:0800", "12345:1800") : record("N", "1:0000", "0:0000");
    std::vector<HolidayProblem> problems;
    parseHolidays(holidays, r.holidays, problems);
    std::tie(r.holidayAs, r.hold) = std::tie(as, hold);
    return r;
  };
  const std::tuple<ServiceRecord, const char *, const char *> rows[] = {
      {with(false, "2026-12-31..2027-01-01", 0), "2026-12-30 12:00",
       "12-31 00:00 -begins, 01-02 00:00 +ends, 01-03 00:00 -point"},
      {with(false, "2027-01-31..2027-02-01", 0), "2027-01-29 12:00",
       "01-31 00:00 -begins, 02-02 00:00 +ends, 02-07 00:00 -point"},
      {with(false, "02-29", 0), "2028-02-28 12:00",
       "02-29 00:00 -begins, 03-01 00:00 +ends, 03-05 00:00 -point"},
      {with(true, "2027-01-09", 3), "2027-01-08 19:00",
       "01-09 08:00 +point, 01-09 18:00 -point, 01-11 08:00 +point"},
      {with(true, "2027-01-09", std::nullopt), "2027-01-08 08:00",
       "01-08 18:00 -point, 01-11 08:00 +point, 01-11 18:00 -point"},
      {with(false, "01-06", 0, Hold{true, at("2027-01-06 10:00")}), "2027-01-05 12:00",
       "01-06 10:00 -hold, 01-07 00:00 +ends, 01-10 00:00 -point"},
      {with(true, "", 0, Hold{false, std::nullopt}), "2027-01-05 12:00", ""}};
  const char *const causes[] = {"point", "begins", "ends", "hold"};
  for (const auto &[r, from, changes] : rows) {
    std::string found;
    for (const WantedChange &c : nextChanges(r, at(from) + 30 * kSecond, 3, 30 * 24 * kHour))
      found += (found.empty() ? "" : ", ") + localTimeText(c.localMs).substr(5) +
               (c.wantRunning ? " +" : " -") + causes[static_cast<int>(c.cause)];
    EXPECT_EQ(found, changes) << from;
  }
}

// A hold asked for: a state, then a time in the future as one word or two; anything else refused.
TEST(Holds, RequestsTextsAndWhatTheyAttachTo) {
  using Words = std::vector<std::string>;
  const std::int64_t now = *parseLocalTime("2026-12-09 18:30") + 59 * kSecond;
  const std::pair<Words, std::string> rows[] = {
      {{"stopped", "2026-12-10", "08:00", "x"}, "stopped until 2026-12-10 08:00"},
      {{"running", "2026-12-09 18:31"}, "running until 2026-12-09 18:31"},
      {{"running"}, "running"},
      {{"paused"}, "unknown state \"paused\": running or stopped"},
      {{"stopped", "2026-12-09 18:30"}, "2026-12-09 18:30 has passed"},
      {{"stopped", "2027-02-29", "08:00"}, "\"2027-02-29 08:00\" is not a time YYYY-MM-DD HH:MM"},
      {{"stopped", "2026-12-10"}, "\"2026-12-10\" is not a time YYYY-MM-DD HH:MM"},
      {{}, "name a service and its state: Qvn -hold <service> running|stopped [YYYY-MM-DD HH:MM]"}};
  for (const auto &[words, said] : rows) {
    HoldRequest request = holdRequest("Spooler", words, now);
    EXPECT_EQ(request.error.empty() ? holdText(request.hold) : request.error, said);
    std::optional<Hold> back = parseHoldText(said);
    EXPECT_EQ(back ? holdText(*back) : "", request.error.empty() ? said : "");
  }
  EXPECT_EQ(holdRequest("qvn", {"stopped"}, now).error, "qvn is the scheduler itself");
  EXPECT_EQ(holdRefusedText(5, "see log"), "it needs an elevated prompt (run as administrator)");
  EXPECT_EQ(holdRefusedText(2, "see log"), "see log");
  // When a stored change takes effect, by the scheduler's state (none: not installed).
  using Effect = std::tuple<std::optional<std::uint32_t>, bool, std::string>;
  for (const auto &[state, told, said] :
       {Effect{std::nullopt, false,
               "is not installed: this takes effect once it is (Qvn -install)"},
        Effect{1, false, "is not running: this takes effect when it starts"},
        Effect{4, true, "was told and acts on this now"},
        Effect{7, true, "is paused: it acts on this when continued"},
        Effect{7, false, "could not be told, see log: this takes effect when it starts again"}})
    EXPECT_EQ(holdEffectText(state, told, "see log"), "Quorvane " + said);
  // Damaged values hold nothing and are found; a service the schedule does not name gets a record.
  LoadedSchedule loaded;
  loaded.records = {record("Spooler")};
  attachHolds(loaded,
              {{"SPOOLER", "stopped until 2026-12-10 08:00"},
               {"Other", "running"},
               {"Bad", "stopped until 2026-12-10"},
               {"Bin", std::nullopt},
               {"Qvn", "running"}},
              "Qvn");
  EXPECT_EQ(loaded.records.front().hold->untilLocalMs, parseLocalTime("2026-12-10 08:00"));
  EXPECT_TRUE(loaded.records.back().hold->wantRunning && !loaded.records.back().scheduled);
  ASSERT_EQ(loaded.findings.size(), 3u);
  EXPECT_EQ(loaded.findings[0].logLine, "Hold of service Bad not understood (\"stopped until "
                                        "2026-12-10\"): ignored; Qvn -release Bad removes it");
  // What a file that cannot be read again leaves to put the stored holds on again.
  LoadedSchedule kept = withoutHolds(loaded.records);
  EXPECT_TRUE(kept.records.size() == 1 && !kept.records.front().hold);
}

// A forced start of a disabled service fails at every check: said once, then hourly; a new
// failure is said at once; the success that ends it too.
TEST(CheckPass, AFailureMetAtEveryCheckIsSaidOnceThenHourlyAndWhenItClears) {
  std::list<ServiceRecord> records{record("A", "1:0800", "1:1800", true)};
  Manager m;
  const std::tuple<std::int32_t, std::uint32_t, std::uint32_t, const char *> steps[] = {
      {kMon0800, 0, 1058, "Starting service A; start A"},
      {kMon0800 + 10, 600000, 1058, "query A; quiet start A"},
      {kMon0800 + 60, 3600000, 1058,
       "query A; quiet start A; Still failing to start service A since Mon 08:00: 1058"},
      {kMon0800 + 70, 4200000, 1058, "query A; quiet start A"},
      {kMon0800 + 80, 4800000, 5, "query A; quiet start A; Could not start service A: 5"},
      {kMon0800 + 90, 5400000, 0,
       "query A; quiet start A; Started service A after failing since Mon 09:20"},
      {kMon0800 + 100, 6000000, 1058, "query A"}};
  for (const auto &[minute, ms, error, calls] : steps) {
    m.startError = error;
    EXPECT_EQ(m.at(records, minute, ms), calls) << minute;
  }
  // A change of the wish ends it: the next failure is said in full.
  m.states["A"] = scm::kStateStopped;
  EXPECT_EQ(m.at(records, kMon0800 + 110, 6600000), "query A; Starting service A; start A");
}

TEST(CheckPass, AFailureThatMayPassIsRetriedQuietlyUntilItSucceeds) {
  // starting?, error, the state a query would answer, may pass. 1055 (database locked, at boot)
  // passes; 1052 (a control the service does not take) only while it reports a pending state,
  // Wine's answer for one still starting; 1056 "already running" only to a start while the
  // service is still stopping; 1058 (disabled) never. 1061, 1051 and 5: the retries below.
  const std::tuple<bool, std::uint32_t, std::uint32_t, bool> rows[] = {
      {true, 1055, 1, true}, {false, 1052, 6, true}, {false, 1052, 4, false},
      {true, 1056, 3, true}, {true, 1056, 4, false}, {false, 1056, 3, false},
      {true, 1058, 1, false}};
  for (const auto &[starting, error, state, mayPass] : rows)
    EXPECT_EQ(failureMayPass(starting, error, [s = state] { return s; }), mayPass)
        << error << " in state " << state;
  std::list<ServiceRecord> records{record("A")};
  Manager m;
  m.dependents = {"B", "C"};
  m.states["A"] = 2; // still starting
  // The minute and steady count of a check, how stops fail from then on, what it does, and the
  // retry's wait after it.
  const std::tuple<std::int32_t, std::uint32_t, std::uint32_t, const char *, std::uint32_t>
      steps[] = {
          {kMon0800 - 60, 0, 1061,
           "Stopping service A; stop A; Will try again every 30 s to stop service A", 30000},
          {kMon0800 - 60, 29999, 1061, "", 1},                          // not due yet
          {kMon0800 - 59, 30000, 1052, "quiet stop A; query A", 30000}, // another "not now": quiet
          {kMon0800 - 59, 60000, 0, "quiet stop A; Stopped service A on retry", kNoRetry},
          {kMon0800, 100000, 0, "Starting service A; start A", kNoRetry},
          // Running dependents are named once; a final failure ends the retries.
          {kMon1800, 0, 1051,
           "Stopping service A; stop A; dependents A; Running services depend on A: B, C; Will try "
           "again every 30 s to stop service A",
           30000},
          {kMon1800, 30000, 1051, "quiet stop A", 30000},
          {kMon1800 + 1, 60000, 5, "quiet stop A; Gave up trying to stop service A: 5", kNoRetry},
      };
  for (const auto &[minute, ms, stopError, calls, wait] : steps) {
    m.stopError = stopError;
    EXPECT_EQ(m.at(records, minute, ms), calls) << minute << "/" << ms;
    EXPECT_EQ(retryWaitMs(records, ms), wait) << minute << "/" << ms;
    EXPECT_TRUE(stopError != 1061 || records.front().lastAction == LastAction::None); // not done
  }
  // A change of the wish drops the retry and acts on the new wish at once.
  records = {record("A")};
  m.stopError = 1061;
  m.startError = 0;
  m.at(records, kMon0800 - 1, 0);
  EXPECT_EQ(m.at(records, kMon0800, 1000), "Starting service A; start A");
  EXPECT_EQ(retryWaitMs(records, 1000), kNoRetry);
  // The earliest of several retries; the steady count may wrap in between.
  records.resize(2);
  records.front().retry = PendingRetry{true, 1000, 1055};
  records.back().retry = PendingRetry{false, 0xFFFFF000u, 1061};
  EXPECT_EQ(retryWaitMs(records, 4000), 30000u - 8096u);
}

TEST(NextWake, StartOfTheNextPointsMinuteOrTheCap) {
  // Points (one record each, beside one without points), the minute checked and the time since
  // its start, the wait: to a point later this week, to one past the cap, into next week, with
  // no points at all; a point at the minute checked counts a week ahead; a point's minute that
  // has begun is due now; the clock went back before the minute.
  const std::tuple<std::vector<std::int32_t>, std::int32_t, std::int64_t, std::uint32_t> rows[] = {
      {{kMon0800 + 5, 9000, 100}, kMon0800, 1500, 5 * 60000 - 1500},
      {{kMon0800 + 11}, kMon0800, 0, 600000},
      {{10000, 2}, 10079, 500, 3 * 60000 - 500},
      {{}, kMon0800, 0, 600000},
      {{kMon0800, kMon0800 + 1}, kMon0800, 59000, 1000},
      {{kMon0800}, kMon0800, 0, 600000},
      {{kMon0800 + 1}, kMon0800, 61000, 0},
      {{kMon0800 + 1}, kMon0800, -30000, 90000}};
  for (const auto &[points, checkMinute, msSince, wait] : rows) {
    std::list<ServiceRecord> records(1);
    for (std::int32_t minute : points)
      insertSorted(records.emplace_back().schedule, {minute, true});
    EXPECT_EQ(nextWakeMs(records, checkMinute, msSince, 600000), wait) << wait;
  }
}

TEST(SchedulerControls, WhatTheHandlerDoesWithEachControl) {
  using R = ControlRequest;
  // A power event (13) works the wait out again after a resume (0x12, 0x7), any other is taken
  // silently, as interrogate (4) is; a time change (16) wakes too; shutdown (5) and user-defined
  // controls are refused. Stop, pause, continue and reload: the service's own tests.
  const std::tuple<std::uint32_t, std::uint32_t, R> rows[] = {
      {13, 0x12, R::Wake}, {13, 0x7, R::Wake}, {13, 0x4, R::Nothing}, {4, 0, R::Nothing},
      {16, 0, R::Wake},    {5, 0, R::Refuse},  {128, 0, R::Refuse}};
  for (const auto &[control, eventType, request] : rows)
    EXPECT_EQ(controlRequest(control, eventType), request) << control << "/" << eventType;
}

// Midnight UTC of Sunday 28 March and Sunday 31 October 2027, of Saturday 2 and Monday 4
// January 2027; Berlin is on CEST from 01:00 UTC on 28 March to 01:00 UTC on 31 October.
constexpr std::int64_t kMar28 = 1806192000000, kOct31 = 1824940800000;
constexpr std::int64_t kJan2 = 1798848000000, kJan4 = 1799020800000;
std::int64_t berlin(std::int64_t utc) {
  return utc >= kMar28 + kHour && utc < kOct31 + kHour ? 2 * kHour : kHour;
}

// What "-test" reads the schedule at, and so says is wanted and comes next.
TEST(ScheduleTime, ATestRunReadsTheRepeatedHourAsTheMinuteBeforeTheClockWentBack) {
  const WeeklySchedule s = record("A", "0:0230", "0:0100").schedule;
  const std::tuple<std::int64_t, const char *, bool, const char *> rows[] = {
      {kOct31 + 70 * kMinute, "Sun 02:59", true, "Sun 01:00"},            // 02:10 CET
      {kOct31 + 2 * kHour, "Sun 03:00", true, "Sun 01:00"},               // 03:00 CET
      {kMar28 + 59 * kMinute, "Sun 01:59", false, "Sun 02:30"},           // 01:59 CET
      {kMar28 + 61 * kMinute, "Sun 03:01", true, "Sun 01:00"},            // 03:01 CEST
      {kJan2 + 22 * kHour + 59 * kMinute, "Sat 23:59", true, "Sun 01:00"} // a week wraps
  };
  for (const auto &[utc, readAt, running, next] : rows) {
    std::int32_t minute = minuteOfWeekAt(latestLocalTime(berlin, utc));
    EXPECT_EQ(weekdayTime(minute), readAt) << utc;
    EXPECT_EQ(wantedState(s, minute), running) << utc;
    EXPECT_EQ(weekdayTime(*nextChange(s, minute)), next) << utc;
  }
  // A local time the clock skips acts at the jump (2), one it shows twice acts once (1).
  std::string fates;
  for (std::int64_t local : {kMar28 + 150 * kMinute, kMar28 + 3 * kHour, kOct31 + 150 * kMinute}) {
    LocalTimeFate fate = localTimeFate(berlin, local);
    fates += std::to_string(static_cast<int>(fate.kind)) + localTimeText(fate.actsAtMs) + "; ";
  }
  EXPECT_EQ(fates, "22027-03-28 03:00; 01970-01-01 00:00; 12027-10-31 02:30; ");
}

// The scheduler in Berlin on a fake clock, driven as the service drives it: a check, then a
// wait, then a check. Lines come with the local time.
struct Berlin : Manager {
  std::int64_t utc;
  std::uint32_t tick = 0;
  bool due = true; // at the start, after a wait, or asked for (a reload, a continue)
  Scheduler scheduler;
  Berlin(std::int64_t startUtc, std::list<ServiceRecord> records)
      : utc(startUtc), scheduler(actions,
                                 SchedulerClock{[this] {
                                                  return ClockReading{utc, tick};
                                                },
                                                berlin},
                                 {}) {
    startError = 0;
    stamp = [this] {
      std::int64_t local = utc + berlin(utc);
      return weekdayTime(minuteOfWeekAt(local)) + ":" +
             std::to_string(100 + local / kSecond % 60).substr(1) + " ";
    };
    scheduler.adopt(std::move(records));
  }
  // Runs until the clock reaches endUtc; what was logged on the way.
  std::string until(std::int64_t endUtc) {
    calls.clear();
    for (int turns = 0; turns < 1000; ++turns) {
      if (due)
        scheduler.check(nullptr);
      std::int64_t wait = std::min<std::int64_t>(scheduler.waitMs(), endUtc - utc);
      due = scheduler.waitMs() <= endUtc - utc;
      utc += wait;
      tick += static_cast<std::uint32_t>(wait);
      if (!due)
        return calls;
    }
    ADD_FAILURE() << "the scheduler never waits";
    return calls;
  }
};

TEST(SchedulerClock, SpringForwardActsOnSkippedPointsAtTheJumpFallBackOncePerPoint) {
  Berlin spring(kMar28 + 59 * kMinute, // 01:59 CET
                {record("A", "0:0230", "0:0100"), record("B", "0:0300", "0:0100")});
  EXPECT_EQ(spring.until(kMar28 + 2 * kHour),
            "Sun 01:59:00 Stopping service A; Sun 01:59:00 Stopping service B; "
            "Sun 03:00:00 Starting service A; Sun 03:00:00 Starting service B");
  // Falling back, a forced service keeps the state it had before.
  std::list<ServiceRecord> records{record("A", "0:0230", "0:0100"),
                                   record("F", "0:0230", "0:0100", true),
                                   record("C", "0:0300", "0:0100")};
  Berlin run(kOct31 + 20 * kMinute, records); // 02:20 CEST
  EXPECT_EQ(run.until(kOct31 + 75 * kMinute),
            "Sun 02:20:00 Stopping service A; Sun 02:20:00 Stopping service F; Sun 02:20:00 "
            "Stopping service C; Sun 02:30:00 Starting service A; Sun 02:30:00 Starting service F; "
            "Sun 02:00:00 Local time went back to Sun 02:00; points up to Sun 02:50 are not acted "
            "on again");
  run.states["F"] = scm::kStateStopped; // by hand, at 02:15 CET
  EXPECT_EQ(run.until(kOct31 + 2 * kHour + kMinute),
            "Sun 02:20:00 Starting service F; Sun 03:00:00 Starting service C");
}

TEST(SchedulerClock, ClockSetBackIsHeldUpToThreeHoursAlsoAcrossTheWeekWrap) {
  // Saturday 23:58:30 CET: the Sunday 00:00 point comes a minute after 23:59's.
  Berlin run(kJan2 + 22 * kHour + 58 * kMinute + 30 * kSecond, {record("A", "0:0000", "6:2359")});
  EXPECT_EQ(run.until(kJan2 + 23 * kHour + 10 * kSecond),
            "Sat 23:58:30 Starting service A; Sat 23:59:00 Stopping service A; Sun 00:00:00 "
            "Starting service A");
  // Set back 20 s to Saturday 23:59:50, and checked at once (as after a reload or a
  // continue): neither point acts again.
  run.utc -= 20 * kSecond;
  run.due = true;
  EXPECT_EQ(run.until(kJan2 + 23 * kHour + 10 * kMinute),
            "Sat 23:59:50 Local time went back to Sat 23:59; points up to Sun 00:00 are not acted "
            "on again");
  // Set back at a start point and checked at once: held up to three hours, beyond that read
  // anew.
  const std::pair<std::int64_t, const char *> rows[] = {
      {kHoldBackMs, "Mon 07:00:00 Local time went back to Mon 07:00; points up to Mon 10:00 are "
                    "not acted on again"},
      {kHoldBackMs + kMinute, "Mon 06:59:00 Local time went back more than 3 hours, to Mon 06:59; "
                              "the schedule is read at that time; Mon 06:59:00 Stopping service "
                              "A"}};
  for (const auto &[back, lines] : rows) {
    Berlin office(kJan4 + 9 * kHour, {record("A", "1:1000", "1:1800")}); // Monday 10:00 CET
    EXPECT_EQ(office.until(office.utc), "Mon 10:00:00 Starting service A");
    office.utc -= back;
    office.due = true;
    EXPECT_EQ(office.until(office.utc + 5 * kSecond), lines) << back;
  }
}

// Entering and leaving a holiday at midnight, and the points of the day it runs as, act at their
// minute, where no point of the week wakes the scheduler.
TEST(SchedulerClock, AHolidayActsAtItsMidnightsAndThePointsOfTheDayItRunsAs) {
  ServiceRecord sundays = record("A", "0:0000;0:1200", "0:1005;1:0000"); // but 10:05 to 12:00
  std::vector<HolidayProblem> problems;
  parseHolidays("2027-01-06", sundays.holidays, problems);
  Berlin run(kJan4 + 46 * kHour + 47 * kMinute + 30 * kSecond, {sundays}); // Tue 23:47:30 CET
  EXPECT_EQ(run.until(kJan4 + 71 * kHour + 10 * kMinute),
            "Tue 23:47:30 Stopping service A; Wed 00:00:00 Starting service A; Wed 10:05:00 "
            "Stopping service A; Wed 12:00:00 Starting service A; Thu 00:00:00 Stopping service A");
}

// One look after another: a change is read once the file has been still (no notice, the same
// stamp, no writer) for a second, however the tick count wraps.
TEST(FileSettle, AChangedFileIsReadOnlyOnceStillForASecond) {
  const FileStamp a{true, false, 10, 1}, b{true, false, 20, 2}, busy{true, true, 20, 2},
      read{true, false, 30, 3};
  const std::uint32_t kWrap = 0xFFFFFF00, kNone = kNothingPending;
  const struct {
    bool notified;
    FileStamp stamp;
    std::uint32_t now, waitMs; // waitMs 0: read now
  } looks[] = {// Nothing; a change, its second half half a second later, read once still; changed
               // again without a notice; held by a writer; across the tick count's wrap; settled on
               // the file as last read.
               {false, a, 0, kNone},       {true, a, 100, 1000},        {false, a, 600, 500},
               {true, b, 600, 1000},       {false, b, 1599, 1},         {false, b, 1600, 0},
               {false, b, 2000, kNone},    {true, a, 3000, 1000},       {false, b, 3500, 1000},
               {false, b, 4500, 0},        {true, busy, 5000, 1000},    {false, busy, 6000, 1000},
               {false, b, 7000, 1000},     {false, b, 8000, 0},         {true, a, kWrap, 1000},
               {false, a, kWrap + 999, 1}, {false, a, kWrap + 1000, 0}, {true, read, 0, 1000},
               {false, read, 1000, kNone}};
  PendingChange change;
  for (const auto &look : looks) {
    SettleStep step = settleStep(change, look.notified, look.stamp, read, look.now);
    EXPECT_EQ(step.read ? 0 : step.waitMs, look.waitMs) << look.now;
    EXPECT_TRUE(!step.read || step.waitMs == kNone) << look.now;
  }
}

} // namespace
