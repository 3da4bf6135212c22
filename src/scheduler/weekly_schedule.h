// The scheduler's model of a controlled service: a weekly list of start and
// stop points, kept in order, and the state it wants at a minute of the week.
#pragma once

#include "common/text.h"
#include "scheduler/holidays.h"

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

// Minutes since Sunday 00:00 local time; every loaded entry lies in [0, kMinutesPerWeek).
constexpr int32_t kMinutesPerDay = 24 * 60;
constexpr int32_t kMinutesPerWeek = 7 * kMinutesPerDay;

struct ScheduleEntry {
  int32_t minuteOfWeek = 0;
  bool wantRunning = false; // true: a start point, false: a stop point
};

// Ascending minuteOfWeek; entries of equal minute stay in the order added.
using WeeklySchedule = std::list<ScheduleEntry>;

// The scheduler's own last action on a service.
enum class LastAction : int32_t { None = 0, Started = 1, Stopped = 2 };

// A start or stop that failed for a reason that may pass, to be tried again.
struct PendingRetry {
  bool wantRunning = false; // what it was for: a change of the wish drops it
  uint32_t failedAtMs = 0;  // the steady millisecond count of the last failure
  uint32_t error = 0;       // the system's error of the last failure
};

// A final failure a forced schedule meets again at every check: said when
// it starts, then hourly, and when it clears.
struct RepeatedFailure {
  bool wantRunning = false;
  uint32_t error = 0;
  int32_t sinceMinute = 0; // the minute of the week it began
  uint32_t toldAtMs = 0;   // the steady millisecond count it was last said
};

// A hold set with "Qvn -hold": the service is wanted in one state, and kept
// so, until a local time (none: until released), whatever its schedule says.
struct Hold {
  bool wantRunning = false;
  std::optional<std::int64_t> untilLocalMs;
};

struct ServiceRecord {
  std::string name; // the service's key name
  WeeklySchedule schedule;
  LastAction lastAction = LastAction::None;
  std::optional<PendingRetry> retry;
  std::optional<RepeatedFailure> failing;
  bool forceStart = false;
  bool forceStop = false;
  std::optional<Hold> hold;
  bool scheduled = true;         // false: not in the schedule file, only held
  std::vector<Holiday> holidays; // those of all services, then its own
  // The weekday (0 Sunday) whose schedule rules on a holiday; none: holidays
  // do not apply.
  std::optional<int> holidayAs = 0;
};

// Service names are equal whatever their ASCII case, as the service
// manager compares them.
inline bool sameServiceName(const std::string &a, const std::string &b) { return sameName(a, b); }

// Adds entry after every entry whose minute is less than or equal to its own.
void insertSorted(WeeklySchedule &schedule, const ScheduleEntry &entry);
// Orders the entries as inserting each in turn with insertSorted would, in
// one stable sort: a large section loads in linear time, not quadratic.
void sortSchedule(WeeklySchedule &schedule);

// True when the service should be running at minute now: the last entry at
// or before now rules, else the week's last entry (carried over from the
// previous week); an empty schedule wants it running always.
bool wantedState(const WeeklySchedule &schedule, int32_t now);

// The first minute after now, going round the week, at which wantedState
// differs from its value at now; none when the wanted state never changes.
std::optional<int32_t> nextChange(const WeeklySchedule &schedule, int32_t now);

// A minute of the week as "Mon 08:00".
std::string weekdayTime(int32_t minuteOfWeek);

// The wanted state over the week, for a console: an hour ruler, then one
// line per day from Sunday, one character per half hour ('#' running, '.'
// stopped; a half hour in which the state changes shows the state that
// rules for most of it, the later one when both rule for fifteen minutes),
// and under today's line a '^' at the half hour of now. Each line is
// indented by two blanks and ends without a line break.
std::vector<std::string> weekChart(const WeeklySchedule &schedule, int32_t now);
