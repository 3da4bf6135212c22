// The scheduler's state between checks: its records, the effects it acts
// through, the clock it reads and its settings. The service role gives it
// the service manager, the log, the system clock and time zone; tests may
// give it a short interval and a line per check without a build of their own.
#pragma once

#include "scheduler/check_pass.h"
#include "scheduler/schedule_time.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <vector>

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

  // One pass at the local minute the schedule is read at (see scheduleTime:
  // held after the clock went back); false when goOn ended it early.
  bool check(const std::function<bool()> &goOn);
  // Milliseconds from now until the next check is due, the earliest of: the
  // real instant the next point's local minute begins, a pending retry, the
  // next change of the local offset (so a point the clock jumps over acts at
  // the jump), and the end of the interval since the last check.
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
