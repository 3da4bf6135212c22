#include "scheduler/weekly_schedule.h"

#include <algorithm>

void insertSorted(WeeklySchedule &schedule, const ScheduleEntry &entry) {
  auto at = std::upper_bound(schedule.begin(), schedule.end(), entry,
                             [](const ScheduleEntry &a, const ScheduleEntry &b) {
                               return a.minuteOfWeek < b.minuteOfWeek;
                             });
  schedule.insert(at, entry);
}

bool wantedState(const WeeklySchedule &schedule, int32_t now) {
  if (schedule.empty())
    return true;
  bool wanted = schedule.back().wantRunning;
  for (const ScheduleEntry &entry : schedule) {
    if (entry.minuteOfWeek > now)
      break;
    wanted = entry.wantRunning;
  }
  return wanted;
}
