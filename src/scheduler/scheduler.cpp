#include "scheduler/scheduler.h"

#include "common/system_numbers.h"
#include "common/text.h"
#include "scheduler/calendar.h"
#include "scheduler/next_changes.h"
#include "scm/service_status.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

// A record acts when its last action differs from what is wanted; once it
// agrees, only a forced schedule acts again, and only on a service found
// settled in the opposite state (pending and paused ones are left alone).
bool mustAct(const ServiceRecord &record, bool wantRunning, const CheckActions &actions) {
  LastAction done = wantRunning ? LastAction::Started : LastAction::Stopped;
  if (record.lastAction != done)
    return true;
  bool forced = wantRunning ? record.forceStart : record.forceStop;
  if (!forced && !record.hold)
    return false;
  // A state that cannot be had is taken as stopped: a start is then tried,
  // and its own failure said; a stop is not.
  Expected<std::uint32_t> state = actions.queryState(record.name);
  return state ? *state == (wantRunning ? scm::kStateStopped : scm::kStateRunning) : wantRunning;
}

// The states a service reports on its way to another.
bool pending(const Expected<std::uint32_t> &state) {
  return state && (*state == scm::kStateStartPending || *state == scm::kStateStopPending ||
                   *state == scm::kStateContinuePending || *state == scm::kStatePausePending);
}

std::uint32_t retryWait(const PendingRetry &retry, std::uint32_t nowMs) {
  std::uint32_t since = nowMs - retry.failedAtMs;
  return since >= kRetryAfterMs ? 0 : kRetryAfterMs - since;
}

// Says how a final failure met again and again by a forced schedule goes:
// nothing while it stays the same, but once an hour; a changed one as new;
// once more when the start or stop succeeds.
const std::uint32_t kStillFailingEveryMs = 3600000;

void tellRepeat(ServiceRecord &record, bool wantRunning, const Result &result, std::int32_t now,
                std::uint32_t nowMs, bool quiet, const CheckActions &actions) {
  const std::string verb = wantRunning ? "start" : "stop";
  std::optional<RepeatedFailure> &failing = record.failing;
  if (result) {
    if (failing && quiet)
      actions.logLine((wantRunning ? "Started service " : "Stopped service ") + record.name +
                          " after failing since " + weekdayTime(failing->sinceMinute),
                      LogKind::Information);
    failing.reset();
  } else if (!failing || failing->error != result.error()) {
    if (failing)
      actions.logError("Could not " + verb + " service " + record.name, result.error());
    failing = RepeatedFailure{wantRunning, result.error(), now, nowMs};
  } else if (nowMs - failing->toldAtMs >= kStillFailingEveryMs) {
    actions.logError("Still failing to " + verb + " service " + record.name + " since " +
                         weekdayTime(failing->sinceMinute),
                     result.error());
    failing->toldAtMs = nowMs;
  }
}

// Starts or stops the record's service, first try or retry. A failure that
// may pass leaves lastAction as it was and sets the retry; any other result
// is recorded as done.
void act(ServiceRecord &record, bool wantRunning, std::int32_t now, std::uint32_t nowMs,
         const CheckActions &actions) {
  const bool retrying = record.retry.has_value();
  // Said before and logged by then: a retry, or a failure met at every check.
  const bool quiet = retrying || record.failing;
  const std::string &name = record.name;
  const std::string verb = wantRunning ? "start" : "stop";
  if (!quiet)
    actions.logLine((wantRunning ? "Starting service " : "Stopping service ") + name,
                    LogKind::Information);
  Result result = wantRunning ? actions.startService(name) : actions.stopService(name);
  if (!quiet)
    actions.logFailure(result);
  // We never stop other services: saying which ones hold it up is all we do.
  if (result.failedWith(syserr::kDependentServicesRunning) &&
      !(retrying && record.retry->error == result.error())) {
    std::string names = joined(actions.runningDependents(name));
    actions.logLine("Running services depend on " + name + (names.empty() ? "" : ": " + names),
                    LogKind::Warning);
  }
  if (!result &&
      failureMayPass(wantRunning, result.error(), [&] { return actions.queryState(name); })) {
    if (!retrying)
      actions.logLine("Will try again every 30 s to " + verb + " service " + name,
                      LogKind::Information);
    record.retry = PendingRetry{wantRunning, nowMs, result.error()};
    record.failing.reset();
    return;
  }
  record.retry.reset();
  record.lastAction = wantRunning ? LastAction::Started : LastAction::Stopped;
  if (retrying && result)
    actions.logLine((wantRunning ? "Started service " : "Stopped service ") + name + " on retry",
                    LogKind::Information);
  else if (retrying)
    actions.logError("Gave up trying to " + verb + " service " + name, result.error());
  else
    tellRepeat(record, wantRunning, result, now, nowMs, quiet, actions);
}

} // namespace

bool failureMayPass(bool starting, std::uint32_t error,
                    const std::function<Expected<std::uint32_t>()> &stateNow) {
  switch (error) {
  case syserr::kServiceDatabaseLocked:
  case syserr::kServiceCannotAcceptControl:
  case syserr::kDependentServicesRunning:
    return true;
  case syserr::kInvalidServiceControl:
    // Windows: the service does not take the control at all. Wine says the
    // same of one still starting or stopping, which may take it later.
    return pending(stateNow());
  case syserr::kServiceAlreadyRunning: { // also said of a service still stopping
    if (!starting)
      return false;
    Expected<std::uint32_t> state = stateNow();
    return state && *state == scm::kStateStopPending;
  }
  default:
    return false;
  }
}

std::uint32_t retryWaitMs(const std::list<ServiceRecord> &records, std::uint32_t nowMs) {
  std::uint32_t wait = std::numeric_limits<std::uint32_t>::max();
  for (const ServiceRecord &record : records)
    if (record.retry)
      wait = std::min(wait, retryWait(*record.retry, nowMs));
  return wait;
}

bool holdInForce(const ServiceRecord &record, std::int64_t localMs) {
  return record.hold && (!record.hold->untilLocalMs || localMs < *record.hold->untilLocalMs);
}

bool wantedAt(const ServiceRecord &record, std::int64_t localMs) {
  if (holdInForce(record, localMs))
    return record.hold->wantRunning;
  return wantedState(record.schedule, readMinuteAt(record, localMs));
}

std::int32_t readMinuteAt(const ServiceRecord &record, std::int64_t localMs) {
  const std::int32_t minute = minuteOfWeekAt(localMs);
  if (!record.holidayAs || !isHoliday(record.holidays, dayOfLocalTime(localMs)))
    return minute;
  return *record.holidayAs * kMinutesPerDay + minute % kMinutesPerDay;
}

bool checkRecordsAt(std::list<ServiceRecord> &records, std::int64_t localMs, std::uint32_t nowMs,
                    const CheckActions &actions, const std::function<bool()> &goOn) {
  const std::int32_t now = minuteOfWeekAt(localMs);
  for (auto at = records.begin(); at != records.end();) {
    if (goOn && !goOn())
      return false;
    ServiceRecord &record = *at;
    if (record.hold && record.hold->untilLocalMs && *record.hold->untilLocalMs <= localMs) {
      if (actions.holdEnded)
        actions.holdEnded(record.name, *record.hold);
      record.hold.reset();
    }
    if (!record.scheduled && !record.hold) { // its hold was all there was to do
      at = records.erase(at);
      continue;
    }
    bool wantRunning = wantedAt(record, localMs);
    if (record.retry && record.retry->wantRunning != wantRunning)
      record.retry.reset();
    if (record.failing && record.failing->wantRunning != wantRunning)
      record.failing.reset();
    bool due =
        record.retry ? retryWait(*record.retry, nowMs) == 0 : mustAct(record, wantRunning, actions);
    if (due)
      act(record, wantRunning, now, nowMs, actions);
    ++at;
  }
  return true;
}

std::uint32_t nextWakeMs(const std::list<ServiceRecord> &records, std::int32_t checkMinute,
                         std::int64_t msSince, std::uint32_t capMs) {
  // A week: no point comes later than that, and it is beyond any cap.
  std::int64_t minutes = kMinutesPerWeek;
  for (const ServiceRecord &record : records)
    for (const ScheduleEntry &entry : record.schedule) {
      std::int64_t ahead =
          ((entry.minuteOfWeek - std::int64_t{checkMinute}) % kMinutesPerWeek + kMinutesPerWeek) %
          kMinutesPerWeek;
      minutes = std::min(minutes, ahead == 0 ? kMinutesPerWeek : ahead);
    }
  std::int64_t wait = std::max<std::int64_t>(minutes * 60000 - msSince, 0);
  return static_cast<std::uint32_t>(std::min<std::int64_t>(wait, capMs));
}

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
  bool whole = checkRecordsAt(records_, *readAtMs_, lastCheck_.tickMs, actions_, goOn);
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
  for (const ServiceRecord &record : records_)
    if (record.hold && record.hold->untilLocalMs)
      wait = static_cast<std::uint32_t>(
          std::clamp<std::int64_t>(*record.hold->untilLocalMs - local, 0, wait));
  // On and around holidays the week's points are not all the changes.
  for (const ServiceRecord &record : records_)
    if (record.holidayAs && !record.holidays.empty())
      for (const WantedChange &change :
           nextChanges(record, *readAtMs_, 1, local + wait - *readAtMs_))
        wait =
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(change.localMs - local, 0, wait));
  // Local time jumps when the offset changes: check then, so a point the
  // clock skips or lands on acts at the jump.
  if (std::optional<std::int64_t> change = nextOffsetChange(clock_.offsetAt, now.utcMs, wait))
    wait = static_cast<std::uint32_t>(*change - now.utcMs);
  return wait;
}

ControlRequest controlRequest(std::uint32_t control, std::uint32_t eventType) {
  switch (control) {
  case scm::kControlStop:
    return ControlRequest::Stop;
  case scm::kControlPause:
    return ControlRequest::Pause;
  case scm::kControlContinue:
    return ControlRequest::Continue;
  case scm::kControlParamChange:
    return ControlRequest::Reload;
  case scm::kControlTimeChange:
    return ControlRequest::Wake;
  case scm::kControlPowerEvent:
    // A wait does not count time asleep: after a resume a point may have
    // passed. Every other power event is taken silently.
    return eventType == scm::kPowerResumeAutomatic || eventType == scm::kPowerResumeSuspend
               ? ControlRequest::Wake
               : ControlRequest::Nothing;
  case scm::kControlInterrogate:
    return ControlRequest::Nothing;
  default:
    return ControlRequest::Refuse;
  }
}
