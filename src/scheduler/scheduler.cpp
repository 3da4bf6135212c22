#include "scheduler/scheduler.h"

#include "scheduler/next_wake.h"

#include <cstdlib>
#include <utility>

SchedulerSettings parseStartArguments(const std::vector<std::string> &args,
                                      std::vector<std::string> &ignored) {
  const std::string intervalOption = "/interval-ms=";
  SchedulerSettings settings;
  for (const std::string &arg : args) {
    if (arg == "/trace-checks") {
      settings.traceChecks = true;
      continue;
    }
    if (arg.compare(0, intervalOption.size(), intervalOption) == 0) {
      const char *digits = arg.c_str() + intervalOption.size();
      char *end = nullptr;
      unsigned long ms = std::strtoul(digits, &end, 10);
      if (*digits >= '0' && *digits <= '9' && *end == '\0' && ms >= 1 && ms <= kCheckIntervalMs) {
        settings.intervalMs = static_cast<std::uint32_t>(ms);
        continue;
      }
    }
    ignored.push_back(arg);
  }
  return settings;
}

Scheduler::Scheduler(CheckActions actions, std::function<ClockReading()> clock,
                     SchedulerSettings settings)
    : actions_(std::move(actions)), clock_(std::move(clock)), settings_(settings),
      lastCheck_(clock_()) {}

void Scheduler::adopt(std::list<ServiceRecord> fresh) {
  for (ServiceRecord &record : fresh)
    for (const ServiceRecord &old : records_)
      if (sameServiceName(old.name, record.name))
        record.lastAction = old.lastAction;
  records_ = std::move(fresh);
}

bool Scheduler::check(const std::function<bool()> &goOn) {
  lastCheck_ = clock_();
  bool whole = checkRecordsAt(records_, lastCheck_.minuteOfWeek, actions_, goOn);
  if (settings_.traceChecks)
    actions_.logLine("Check done", LogKind::Record); // a test trace
  return whole;
}

std::uint32_t Scheduler::waitMs() const {
  ClockReading now = clock_();
  std::uint32_t sinceCheck = now.tickMs - lastCheck_.tickMs;
  std::uint32_t cap = sinceCheck < settings_.intervalMs ? settings_.intervalMs - sinceCheck : 0;
  // A clock set back shows as nearly a week gone by: the next check is due at once.
  std::int64_t minutes =
      ((now.minuteOfWeek - lastCheck_.minuteOfWeek) % kMinutesPerWeek + kMinutesPerWeek) %
      kMinutesPerWeek;
  std::uint64_t msSince = static_cast<std::uint64_t>(minutes) * 60000 + now.msIntoMinute;
  return nextWakeMs(records_, lastCheck_.minuteOfWeek, msSince, cap);
}
