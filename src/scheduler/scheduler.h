// The scheduler's state between checks: its records, the effects it acts
// through, the clock it reads and its settings. The service role gives it
// the service manager, the log and the local time; tests may give it a
// short interval and a line per check without a build of their own.
#pragma once

#include "scheduler/check_pass.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
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
  std::int32_t minuteOfWeek = 0; // local time
  std::uint32_t msIntoMinute = 0;
  std::uint32_t tickMs = 0; // a steady millisecond count that may wrap
};

class Scheduler {
public:
  Scheduler(CheckActions actions, std::function<ClockReading()> clock, SchedulerSettings settings);

  // Puts the records of a (re)load in place of the current ones: a service
  // listed before keeps its last action and pending retry, so nothing done
  // is sent again; a new one acts as at a first check; one no longer listed
  // is dropped.
  void adopt(std::list<ServiceRecord> fresh);
  std::size_t size() const { return records_.size(); }

  // One pass at the clock's current minute; false when goOn ended it early.
  bool check(const std::function<bool()> &goOn);
  // Milliseconds from now until the next check is due: the next point's
  // minute, a pending retry or the interval since the last check, whichever
  // comes first.
  std::uint32_t waitMs() const;

private:
  std::list<ServiceRecord> records_;
  CheckActions actions_;
  std::function<ClockReading()> clock_;
  SchedulerSettings settings_;
  ClockReading lastCheck_;
};
