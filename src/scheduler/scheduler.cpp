#include "scheduler/scheduler.h"

#include "scheduler/next_wake.h"

#include <algorithm>
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

Scheduler::Scheduler(CheckActions actions, SchedulerClock clock, SchedulerSettings settings)
    : actions_(std::move(actions)), clock_(std::move(clock)), settings_(settings),
      lastCheck_(clock_.read()) {}

void Scheduler::adopt(std::list<ServiceRecord> fresh) {
  for (ServiceRecord &record : fresh)
    for (const ServiceRecord &old : records_)
      if (sameServiceName(old.name, record.name)) {
        record.lastAction = old.lastAction;
        record.retry = old.retry;
      }
  records_ = std::move(fresh);
}

std::int64_t Scheduler::readTime(const ClockReading &before, const ClockReading &now) const {
  const std::int64_t local = now.utcMs + clock_.offsetAt(now.utcMs);
  std::int64_t readAt = local;
  bool wentBack = false;
  if (readAtMs_) {
    readAt = scheduleTime(local, *readAtMs_);
    wentBack = local < before.utcMs + clock_.offsetAt(before.utcMs);
  } else {
    // Without a past, the offsets tell whether daylight saving time just ended.
    readAt = latestLocalTime(clock_.offsetAt, now.utcMs);
    wentBack = readAt > local;
  }
  if (wentBack && readAt > local)
    actions_.logLine("Local time went back to " + weekdayTime(minuteOfWeekAt(local)) +
                         "; points up to " + weekdayTime(minuteOfWeekAt(readAt)) +
                         " are not acted on again",
                     LogKind::Information);
  else if (wentBack && readAtMs_ && *readAtMs_ - local > kHoldBackMs)
    actions_.logLine("Local time went back more than 3 hours, to " +
                         weekdayTime(minuteOfWeekAt(local)) + "; the schedule is read at that time",
                     LogKind::Information);
  return readAt;
}

bool Scheduler::check(const std::function<bool()> &goOn) {
  const ClockReading before = lastCheck_;
  lastCheck_ = clock_.read();
  readAtMs_ = readTime(before, lastCheck_);
  bool whole =
      checkRecordsAt(records_, minuteOfWeekAt(*readAtMs_), lastCheck_.tickMs, actions_, goOn);
  if (settings_.traceChecks)
    actions_.logLine("Check done", LogKind::Record); // a test trace
  return whole;
}

std::uint32_t Scheduler::waitMs() const {
  ClockReading now = clock_.read();
  std::uint32_t sinceCheck = now.tickMs - lastCheck_.tickMs;
  std::uint32_t cap = sinceCheck < settings_.intervalMs ? settings_.intervalMs - sinceCheck : 0;
  const std::int64_t local = now.utcMs + clock_.offsetAt(now.utcMs);
  // A clock set back further than is held is read anew at once.
  if (!readAtMs_ || *readAtMs_ - local > kHoldBackMs)
    return 0;
  const std::int64_t intoMinute = (*readAtMs_ % 60000 + 60000) % 60000;
  std::uint32_t wait = std::min(
      nextWakeMs(records_, minuteOfWeekAt(*readAtMs_), local - *readAtMs_ + intoMinute, cap),
      retryWaitMs(records_, now.tickMs));
  // Local time jumps when the offset changes: check then, so a point the
  // clock skips or lands on acts at the jump.
  if (std::optional<std::int64_t> change = nextOffsetChange(clock_.offsetAt, now.utcMs, wait))
    wait = static_cast<std::uint32_t>(*change - now.utcMs);
  return wait;
}
