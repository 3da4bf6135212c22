#include "scheduler/schedule_parser.h"
#include "scheduler/scheduler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace {

constexpr std::int64_t kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute;
// Midnight UTC of Sunday 28 March and Sunday 31 October 2027, and of
// Saturday 2 January and Monday 4 January 2027.
constexpr std::int64_t kMar28 = 1806192000000, kOct31 = 1824940800000;
constexpr std::int64_t kJan2 = 1798848000000, kJan4 = 1799020800000;

// Europe/Berlin in 2027: CET, CEST from 01:00 UTC on 28 March to 01:00 UTC
// on 31 October.
std::int64_t berlin(std::int64_t utc) {
  return utc >= kMar28 + kHour && utc < kOct31 + kHour ? 2 * kHour : kHour;
}

ServiceRecord service(const std::string &name, const std::string &start, const std::string &stop,
                      bool forced = false) {
  ServiceRecord r;
  r.name = name;
  parseScheduleValue(start, true, r.schedule);
  parseScheduleValue(stop, false, r.schedule);
  r.forceStart = r.forceStop = forced;
  return r;
}

// The scheduler in Berlin on a fake clock, driven as the service drives
// it: a check, then a wait, then a check. Lines come with the local time.
struct Berlin {
  std::int64_t utc;
  std::uint32_t tick = 0;
  bool due = true; // at the start, after a wait, or asked for (a reload, a continue)
  std::map<std::string, std::uint32_t> states;
  std::vector<std::string> lines;
  Scheduler scheduler;

  Berlin(std::int64_t startUtc, std::list<ServiceRecord> records)
      : utc(startUtc), scheduler(actions(),
                                 {[this] {
                                    return ClockReading{utc, tick};
                                  },
                                  berlin},
                                 {}) {
    scheduler.adopt(std::move(records));
  }
  CheckActions actions() {
    return {[this](const std::string &n) { return states.count(n) ? states[n] : kStateStopped; },
            [this](const std::string &n, bool) { return states[n] = kStateRunning, Result(); },
            [this](const std::string &n, bool) { return states[n] = kStateStopped, Result(); },
            [](const std::string &) { return std::vector<std::string>(); },
            [this](const std::string &line, LogKind) {
              std::int64_t local = utc + berlin(utc);
              char seconds[8];
              std::snprintf(seconds, sizeof(seconds), ":%02d ",
                            static_cast<int>(local / kSecond % 60));
              lines.push_back(weekdayTime(minuteOfWeekAt(local)) + seconds + line);
            },
            [](const std::string &, std::uint32_t) {}};
  }
  // Runs until the clock reaches endUtc; what was logged on the way.
  std::vector<std::string> until(std::int64_t endUtc) {
    lines.clear();
    for (int turns = 0; turns < 1000; ++turns) {
      if (due)
        scheduler.check(nullptr);
      std::int64_t wait = scheduler.waitMs();
      due = utc + wait <= endUtc;
      wait = due ? wait : endUtc - utc;
      utc += wait;
      tick += static_cast<std::uint32_t>(wait);
      if (!due)
        return lines;
    }
    ADD_FAILURE() << "the scheduler never waits";
    return lines;
  }
};

using Lines = std::vector<std::string>;

TEST(ScheduleTime, MinutesOffsetChangesAndTheHold) {
  EXPECT_EQ(minuteOfWeekAt(0), 4 * 1440); // 1970-01-01, a Thursday
  EXPECT_EQ(minuteOfWeekAt(-1), 4 * 1440 - 1);
  EXPECT_EQ(minuteOfWeekAt(kJan2 + 23 * kHour + 59 * kMinute + 59999), 10079);
  EXPECT_EQ(minuteOfWeekAt(kJan2 + 24 * kHour), 0);

  const std::int64_t spring = kMar28 + kHour, fall = kOct31 + kHour;
  EXPECT_EQ(nextOffsetChange(berlin, spring - 5 * kMinute, 10 * kMinute), spring);
  EXPECT_EQ(nextOffsetChange(berlin, fall - 1, 1), fall);
  EXPECT_EQ(nextOffsetChange(berlin, fall - 2, 1), std::nullopt);
  EXPECT_EQ(nextOffsetChange(berlin, spring, 10 * kMinute), std::nullopt);

  const std::int64_t read = kJan4 + 10 * kHour;
  EXPECT_EQ(scheduleTime(read + 1, read), read + 1);
  EXPECT_EQ(scheduleTime(read - 20 * kSecond, read), read);
  EXPECT_EQ(scheduleTime(read - kHoldBackMs, read), read);
  EXPECT_EQ(scheduleTime(read - kHoldBackMs - 1, read), read - kHoldBackMs - 1);
}

// What "-test" reads the schedule at, and so says is wanted and comes next.
TEST(ScheduleTime, ATestRunReadsTheRepeatedHourAsTheMinuteBeforeTheClockWentBack) {
  const WeeklySchedule s = service("A", "0:0230", "0:0100").schedule;
  const struct {
    std::int64_t utc;
    const char *readAt;
    bool running;
    const char *next;
  } rows[] = {
      {kOct31 + 59 * kMinute, "Sun 02:59", true, "Sun 01:00"},            // 02:59 CEST
      {kOct31 + 70 * kMinute, "Sun 02:59", true, "Sun 01:00"},            // 02:10 CET
      {kOct31 + 2 * kHour - kSecond, "Sun 02:59", true, "Sun 01:00"},     // 02:59:59 CET
      {kOct31 + 2 * kHour, "Sun 03:00", true, "Sun 01:00"},               // 03:00 CET
      {kOct31 + 30 * kMinute, "Sun 02:30", true, "Sun 01:00"},            // 02:30 CEST
      {kMar28 + 59 * kMinute, "Sun 01:59", false, "Sun 02:30"},           // 01:59 CET
      {kMar28 + 61 * kMinute, "Sun 03:01", true, "Sun 01:00"},            // 03:01 CEST
      {kJan2 + 22 * kHour + 59 * kMinute, "Sat 23:59", true, "Sun 01:00"} // a week wraps
  };
  for (const auto &row : rows) {
    std::int32_t minute = minuteOfWeekAt(latestLocalTime(berlin, row.utc));
    EXPECT_EQ(weekdayTime(minute), row.readAt) << row.utc;
    EXPECT_EQ(wantedState(s, minute), row.running) << row.utc;
    EXPECT_EQ(weekdayTime(*nextChange(s, minute)), row.next) << row.utc;
  }
}

TEST(SchedulerClock, SpringForwardActsOnSkippedPointsAtTheJump) {
  Berlin run(kMar28 + 59 * kMinute, // 01:59 CET
             {service("A", "0:0230", "0:0100"), service("B", "0:0300", "0:0100")});
  EXPECT_EQ(run.until(kMar28 + 2 * kHour),
            (Lines{"Sun 01:59:00 Stopping service A", "Sun 01:59:00 Stopping service B",
                   "Sun 03:00:00 Starting service A", "Sun 03:00:00 Starting service B"}));
}

TEST(SchedulerClock, FallBackActsOncePerPointAndForceKeepsTheStateBefore) {
  std::list<ServiceRecord> records{service("A", "0:0230", "0:0100"),
                                   service("F", "0:0230", "0:0100", true),
                                   service("C", "0:0300", "0:0100")};
  Berlin run(kOct31 + 20 * kMinute, records); // 02:20 CEST
  EXPECT_EQ(run.until(kOct31 + 75 * kMinute),
            (Lines{"Sun 02:20:00 Stopping service A", "Sun 02:20:00 Stopping service F",
                   "Sun 02:20:00 Stopping service C", "Sun 02:30:00 Starting service A",
                   "Sun 02:30:00 Starting service F",
                   "Sun 02:00:00 Local time went back to Sun 02:00; points up to Sun 02:50 are "
                   "not acted on again"}));
  run.states["F"] = kStateStopped; // by hand, at 02:15 CET
  EXPECT_EQ(run.until(kOct31 + 2 * kHour + kMinute),
            (Lines{"Sun 02:20:00 Starting service F", "Sun 03:00:00 Starting service C"}));

  // Started in the repeated hour, it holds to the minute before the change.
  Berlin late(kOct31 + 70 * kMinute, records);
  EXPECT_EQ(late.until(kOct31 + 71 * kMinute),
            (Lines{"Sun 02:10:00 Local time went back to Sun 02:10; points up to Sun 02:59 are "
                   "not acted on again",
                   "Sun 02:10:00 Starting service A", "Sun 02:10:00 Starting service F",
                   "Sun 02:10:00 Stopping service C"}));
}

TEST(SchedulerClock, ClockSetBackIsHeldUpToThreeHoursAlsoAcrossTheWeekWrap) {
  // Saturday 23:58:30 CET: the Sunday 00:00 point comes a minute after 23:59's.
  Berlin run(kJan2 + 22 * kHour + 58 * kMinute + 30 * kSecond, {service("A", "0:0000", "6:2359")});
  EXPECT_EQ(run.until(kJan2 + 23 * kHour + 10 * kSecond),
            (Lines{"Sat 23:58:30 Starting service A", "Sat 23:59:00 Stopping service A",
                   "Sun 00:00:00 Starting service A"}));
  // Set back 20 s to Saturday 23:59:50, and checked at once (as after a
  // reload or a continue): neither point acts again.
  run.utc -= 20 * kSecond;
  run.due = true;
  EXPECT_EQ(run.until(kJan2 + 23 * kHour + 10 * kMinute),
            Lines{"Sat 23:59:50 Local time went back to Sat 23:59; points up to Sun 00:00 are "
                  "not acted on again"});

  // Set back at a start point and checked at once: held up to three hours,
  // beyond that read anew.
  const struct {
    std::int64_t back;
    const char *lines[2];
  } rows[] = {
      {20 * kSecond,
       {"Mon 09:59:40 Local time went back to Mon 09:59; points up to Mon 10:00 are not acted on "
        "again"}},
      {kHoldBackMs,
       {"Mon 07:00:00 Local time went back to Mon 07:00; points up to Mon 10:00 are not acted on "
        "again"}},
      {kHoldBackMs + kMinute,
       {"Mon 06:59:00 Local time went back more than 3 hours, to Mon 06:59; the schedule is read "
        "at that time",
        "Mon 06:59:00 Stopping service A"}}};
  for (const auto &row : rows) {
    Berlin office(kJan4 + 9 * kHour, {service("A", "1:1000", "1:1800")}); // Monday 10:00 CET
    EXPECT_EQ(office.until(office.utc), Lines{"Mon 10:00:00 Starting service A"});
    office.utc -= row.back;
    office.due = true;
    Lines lines;
    for (const char *line : row.lines)
      if (line)
        lines.push_back(line);
    EXPECT_EQ(office.until(office.utc + 5 * kSecond), lines) << row.back;
  }
}

} // namespace
