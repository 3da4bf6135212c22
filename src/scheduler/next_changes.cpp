#include "scheduler/next_changes.h"

#include "scheduler/calendar.h"
#include "scheduler/scheduler.h"

#include <algorithm>

namespace {

// Why the state differs at the start of a stretch from the one before it.
ChangeCause causeAt(const ServiceRecord &record, std::int64_t localMs) {
  if (record.hold && record.hold->untilLocalMs == localMs)
    return ChangeCause::HoldEnds;
  const std::int64_t day = dayOfLocalTime(localMs);
  const bool holiday = record.holidayAs && isHoliday(record.holidays, day);
  if (day * kMsPerDay == localMs && record.holidayAs &&
      holiday != isHoliday(record.holidays, day - 1))
    return holiday ? ChangeCause::HolidayBegins : ChangeCause::HolidayEnds;
  return ChangeCause::Point; // one at midnight
}

} // namespace

std::vector<WantedChange> nextChanges(const ServiceRecord &record, std::int64_t fromLocalMs,
                                      std::size_t count, std::int64_t withinMs) {
  std::vector<WantedChange> changes;
  const std::int64_t end = fromLocalMs + withinMs;
  const bool holidays = record.holidayAs && !record.holidays.empty();
  std::int64_t at = fromLocalMs;
  bool state = wantedAt(record, at);
  while (changes.size() < count && at < end) {
    // A stretch in which one rule holds: a day when holidays apply, the
    // hold's time, else a week and a day (the week repeats after it).
    std::int64_t stretchEnd = holidays ? (dayOfLocalTime(at) + 1) * kMsPerDay : at + 8 * kMsPerDay;
    if (holdInForce(record, at)) {
      if (!record.hold->untilLocalMs)
        break;
      stretchEnd = std::min(stretchEnd, *record.hold->untilLocalMs);
    } else {
      const std::int32_t minute = readMinuteAt(record, at);
      if (std::optional<std::int32_t> next = nextChange(record.schedule, minute)) {
        std::int64_t ahead =
            ((*next - minute) % kMinutesPerWeek + kMinutesPerWeek) % kMinutesPerWeek;
        std::int64_t pointAt = (at - (at % kMsPerMinute + kMsPerMinute) % kMsPerMinute) +
                               (ahead == 0 ? kMinutesPerWeek : ahead) * kMsPerMinute;
        if (pointAt < std::min(stretchEnd, end)) {
          state = !state;
          changes.push_back({pointAt, state, ChangeCause::Point});
          at = pointAt;
          continue;
        }
      }
    }
    at = stretchEnd;
    if (at < end && wantedAt(record, at) != state) {
      state = !state;
      changes.push_back({at, state, causeAt(record, at)});
    }
  }
  return changes;
}
