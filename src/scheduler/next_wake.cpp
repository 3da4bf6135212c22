#include "scheduler/next_wake.h"

#include <algorithm>

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
