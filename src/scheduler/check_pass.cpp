#include "scheduler/check_pass.h"

#include "common/system_errors.h"

#include <algorithm>
#include <limits>

namespace {

// A record acts when its last action differs from what is wanted; once it
// agrees, only a forced schedule acts again, and only on a service found
// settled in the opposite state (pending and paused ones are left alone).
bool mustAct(const ServiceRecord &record, bool wantRunning, const CheckActions &actions) {
  LastAction done = wantRunning ? LastAction::Started : LastAction::Stopped;
  if (record.lastAction != done)
    return true;
  bool forced = wantRunning ? record.forceStart : record.forceStop;
  if (!forced)
    return false;
  std::uint32_t opposite = wantRunning ? kStateStopped : kStateRunning;
  return actions.queryState(record.name) == opposite;
}

std::uint32_t retryWait(const PendingRetry &retry, std::uint32_t nowMs) {
  std::uint32_t since = nowMs - retry.failedAtMs;
  return since >= kRetryAfterMs ? 0 : kRetryAfterMs - since;
}

std::string joined(const std::vector<std::string> &names) {
  std::string text;
  for (const std::string &name : names)
    text += (text.empty() ? "" : ", ") + name;
  return text;
}

// Starts or stops the record's service, first try or retry. A failure that
// may pass leaves lastAction as it was and sets the retry; any other result
// is recorded as done.
void act(ServiceRecord &record, bool wantRunning, std::uint32_t nowMs,
         const CheckActions &actions) {
  const bool retrying = record.retry.has_value();
  const std::string &name = record.name;
  const std::string verb = wantRunning ? "start" : "stop";
  if (!retrying)
    actions.logLine((wantRunning ? "Starting service " : "Stopping service ") + name,
                    LogKind::Information);
  Result result =
      wantRunning ? actions.startService(name, !retrying) : actions.stopService(name, !retrying);
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
    return;
  }
  record.retry.reset();
  record.lastAction = wantRunning ? LastAction::Started : LastAction::Stopped;
  if (retrying && result)
    actions.logLine((wantRunning ? "Started service " : "Stopped service ") + name + " on retry",
                    LogKind::Information);
  else if (retrying)
    actions.logError("Gave up trying to " + verb + " service " + name, result.error());
}

} // namespace

bool failureMayPass(bool starting, std::uint32_t error,
                    const std::function<std::uint32_t()> &stateNow) {
  switch (error) {
  case syserr::kServiceDatabaseLocked:
  case syserr::kServiceCannotAcceptControl:
  case syserr::kInvalidServiceControl: // Wine's answer to a stop not accepted yet
  case syserr::kDependentServicesRunning:
    return true;
  case syserr::kServiceAlreadyRunning: // also said of a service still stopping
    return starting && stateNow() == kStateStopPending;
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

bool checkRecordsAt(std::list<ServiceRecord> &records, std::int32_t now, std::uint32_t nowMs,
                    const CheckActions &actions, const std::function<bool()> &goOn) {
  for (ServiceRecord &record : records) {
    if (goOn && !goOn())
      return false;
    bool wantRunning = wantedState(record.schedule, now);
    // The wish changed: what failed is no longer wanted.
    if (record.retry && record.retry->wantRunning != wantRunning)
      record.retry.reset();
    bool due =
        record.retry ? retryWait(*record.retry, nowMs) == 0 : mustAct(record, wantRunning, actions);
    if (due)
      act(record, wantRunning, nowMs, actions);
  }
  return true;
}

std::int32_t minuteOfWeek(int weekday, int hour, int minute) {
  return weekday * kMinutesPerDay + hour * 60 + minute;
}
