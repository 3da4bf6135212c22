// One pass of the scheduler over its records at a given minute of the week:
// which service to start or stop, decided from the schedule, the scheduler's
// own last action and, for enforced schedules, the service's actual state;
// and when a start or stop refused for a passing reason is tried again.
#pragma once

#include "common/result.h"
#include "log/log_kind.h"
#include "scheduler/weekly_schedule.h"

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

// The effects a pass needs; the service role binds them to the service
// manager and the log, tests to fakes.
struct CheckActions {
  std::function<std::uint32_t(const std::string &)> queryState;
  // logFailure false: a failure is not logged (a retry's, logged before).
  std::function<Result(const std::string &, bool logFailure)> startService;
  std::function<Result(const std::string &, bool logFailure)> stopService;
  // The names of the running services that depend on the named one.
  std::function<std::vector<std::string>(const std::string &)> runningDependents;
  std::function<void(const std::string &, LogKind)> logLine;
  // An error entry: the context, then the system's message for the code.
  std::function<void(const std::string &, std::uint32_t)> logError;
};

// Service states as the service manager numbers them.
constexpr std::uint32_t kStateStopped = 1;
constexpr std::uint32_t kStateStopPending = 3;
constexpr std::uint32_t kStateRunning = 4;

// How long a start or stop refused for a passing reason waits for its retry.
constexpr std::uint32_t kRetryAfterMs = 30000;

// Whether a start (starting) or stop that failed with error may succeed
// later: the service database is locked, the service cannot take the
// control yet, services that depend on it still run, or a start found it
// still stopping (the only case that asks stateNow). Anything else (no such
// service, disabled, access denied...) is final.
bool failureMayPass(bool starting, std::uint32_t error,
                    const std::function<std::uint32_t()> &stateNow);

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
// final failure is not retried unless forced. goOn, when given, is asked
// before each record: a false answer (a stop or pause request) ends the pass
// there, and the result is then false.
bool checkRecordsAt(std::list<ServiceRecord> &records, std::int32_t minuteOfWeek,
                    std::uint32_t nowMs, const CheckActions &actions,
                    const std::function<bool()> &goOn = nullptr);

// day * 1440 + hour * 60 + minute, day 0 being Sunday.
std::int32_t minuteOfWeek(int weekday, int hour, int minute);
