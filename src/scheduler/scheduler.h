// The scheduler's decisions, apart from the system: one pass over the
// records (which service to start or stop, and when a start or stop refused
// for now is tried again), when to wake next, and the scheduler's state
// between checks with the effects, clock and settings it is given. The
// service role gives it the service manager, the log and the system clock;
// tests give it fakes.
#pragma once

#include "common/result.h"
#include "common/system_numbers.h"
#include "log/log_entry.h"
#include "scheduler/schedule_time.h"
#include "scheduler/weekly_schedule.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <vector>

// The effects a pass needs; the service role binds them to the service
// manager and the log, tests to fakes.
struct CheckActions {
  // The service's state; a failure names the failed call, if any.
  std::function<Expected<std::uint32_t>(const std::string &)> queryState;
  std::function<Result(const std::string &)> startService;
  std::function<Result(const std::string &)> stopService;
  // The names of the running services that depend on the named one.
  std::function<std::vector<std::string>(const std::string &)> runningDependents;
  std::function<void(const std::string &, LogKind)> logLine;
  // An error entry: the context, then the system's message for the code.
  std::function<void(const std::string &, std::uint32_t)> logError;
  // A start or stop's Result, unless the same was said before (a retry's).
  std::function<void(const Result &)> logFailure;
  // A hold's time came: the service role removes it from where holds are
  // kept and says so. Not called when not given.
  std::function<void(const std::string &, const Hold &)> holdEnded;
};

// Whether the record's hold is in force at a local time: it has no end, or
// its end is later.
bool holdInForce(const ServiceRecord &record, std::int64_t localMs);

// The state a record's service is wanted in at a local time: a hold's while
// it is in force, else the schedule's at readMinuteAt.
bool wantedAt(const ServiceRecord &record, std::int64_t localMs);

// The minute of the week a record's schedule is read at, at a local time:
// on one of its holidays, that minute of its HolidayAs day.
std::int32_t readMinuteAt(const ServiceRecord &record, std::int64_t localMs);

// How long a start or stop refused for a passing reason waits for its retry.
constexpr std::uint32_t kRetryAfterMs = 30000;

// Whether a start (starting) or stop that failed with error may succeed
// later: the service database is locked, the service cannot take the
// control yet, services that depend on it still run, a control not valid
// for the service while it reports a pending state, or a start found it
// still stopping (the two cases that ask stateNow; a state that cannot be
// had counts as settled). Anything else (no such
// service, disabled, access denied, a control the settled service does not
// take...) is final.
bool failureMayPass(bool starting, std::uint32_t error,
                    const std::function<Expected<std::uint32_t>()> &stateNow);

// Milliseconds from nowMs (a steady millisecond count that may wrap) until
// the first pending retry of records is due; 0 when one is due already,
// UINT32_MAX when none is pending.
std::uint32_t retryWaitMs(const std::list<ServiceRecord> &records, std::uint32_t nowMs);

// Starts or stops each record's service where the schedule wants it and the
// record's last action disagrees, or where a forced schedule finds the
// service settled in the opposite state. A failure that may pass is not
// recorded as done: it is tried again at the first pass kRetryAfterMs or
// more later, until it succeeds, fails for good or the wish changes, and is
// logged once, not at every try. Any other result is recorded as done, so a
// final failure is not retried unless forced; one a forced schedule meets
// again at every check is logged once, then hourly ("Still failing to start
// service <name> since <day time>"), and when the start or stop succeeds.
// A held service is kept in its held state as a forced one is; a hold whose
// time has come ends first (holdEnded), and a record only held is then
// dropped. goOn, when given, is asked
// before each record: a false answer (a stop or pause request) ends the pass
// there, and the result is then false.
bool checkRecordsAt(std::list<ServiceRecord> &records, std::int64_t localMs, std::uint32_t nowMs,
                    const CheckActions &actions, const std::function<bool()> &goOn = nullptr);

// Milliseconds from now until the next point's minute begins, at most
// capMs. checkMinute is the minute of the week the last check looked at;
// msSince is the local time since that minute began (past 60,000 when the
// check ran long or the clock moved on, below 0 while the clock is behind
// it after going back). A point at checkMinute itself was that check's,
// and comes again a week later. 0 when the next point's minute has begun.
std::uint32_t nextWakeMs(const std::list<ServiceRecord> &records, std::int32_t checkMinute,
                         std::int64_t msSince, std::uint32_t capMs);

// Longest wait between two checks, so forced schedules are enforced.
constexpr std::uint32_t kCheckIntervalMs = 600000;

struct SchedulerSettings {
  std::uint32_t intervalMs = kCheckIntervalMs;
  bool traceChecks = false; // log "Check done" after every pass
};

// Settings from the service's start arguments (those given to the start
// request, after the service name): "/interval-ms=N" (1 to 600,000) and
// "/trace-checks". Any other argument is added to ignored.
SchedulerSettings parseStartArguments(const std::vector<std::string> &args,
                                      std::vector<std::string> &ignored);

struct ClockReading {
  std::int64_t utcMs = 0;   // real time, milliseconds since 1970 UTC
  std::uint32_t tickMs = 0; // a steady millisecond count that may wrap
};

// The clock and the time zone the local time is worked out in.
struct SchedulerClock {
  std::function<ClockReading()> read;
  OffsetAt offsetAt;
};

class Scheduler {
public:
  Scheduler(CheckActions actions, SchedulerClock clock, SchedulerSettings settings);

  // Puts the records of a (re)load in place of the current ones: a service
  // listed before keeps its last action and pending retry, so nothing done
  // is sent again; a new one acts as at a first check; one no longer listed
  // is dropped.
  void adopt(std::list<ServiceRecord> fresh);
  std::size_t size() const { return records_.size(); }
  const std::list<ServiceRecord> &records() const { return records_; }

  // One pass at the local minute the schedule is read at (see scheduleTime:
  // held after the clock went back); false when goOn ended it early.
  bool check(const std::function<bool()> &goOn);
  // Milliseconds from now until the next check is due, the earliest of: the
  // real instant the next point's local minute begins, a pending retry, the
  // next change of the local offset (so a point the clock jumps over acts at
  // the jump), the end of a hold, a holiday's change (its midnights, and the
  // points of the day it runs as), and the end of the interval since the
  // last check.
  std::uint32_t waitMs() const;

private:
  // The local time a check at now reads the schedule at, saying in the log
  // when the clock went back since the check before.
  std::int64_t readTime(const ClockReading &before, const ClockReading &now) const;

  std::list<ServiceRecord> records_;
  CheckActions actions_;
  SchedulerClock clock_;
  SchedulerSettings settings_;
  ClockReading lastCheck_;
  // The local time the last check read the schedule at; none before the
  // first check.
  std::optional<std::int64_t> readAtMs_;
};

// What the scheduler's control handler does with a control: record a
// request for the service thread, only wake it so the wait is worked out
// again (the clock changed, the machine resumed), nothing, or refuse it as
// not handled.
enum class ControlRequest { Stop, Pause, Continue, Reload, Wake, Nothing, Refuse };

ControlRequest controlRequest(std::uint32_t control, std::uint32_t eventType);
