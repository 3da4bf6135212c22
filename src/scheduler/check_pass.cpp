#include "scheduler/check_pass.h"

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

} // namespace

bool checkRecordsAt(std::list<ServiceRecord> &records, std::int32_t now,
                    const CheckActions &actions, const std::function<bool()> &goOn) {
  for (ServiceRecord &record : records) {
    if (goOn && !goOn())
      return false;
    bool wantRunning = wantedState(record.schedule, now);
    if (!mustAct(record, wantRunning, actions))
      continue;
    if (wantRunning) {
      actions.logLine("Starting service " + record.name, LogKind::Information);
      (void)actions.startService(record.name);
      record.lastAction = LastAction::Started;
    } else {
      actions.logLine("Stopping service " + record.name, LogKind::Information);
      (void)actions.stopService(record.name);
      record.lastAction = LastAction::Stopped;
    }
  }
  return true;
}

std::int32_t minuteOfWeek(int weekday, int hour, int minute) {
  return weekday * kMinutesPerDay + hour * 60 + minute;
}
