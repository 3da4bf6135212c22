#include "scheduler/weekly_schedule.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

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

std::optional<int32_t> nextChange(const WeeklySchedule &schedule, int32_t now) {
  // Only a point can change the wanted state: try them in the order they
  // come after now, a point at now itself coming last, a week later.
  auto after = [now](int32_t minute) {
    int32_t distance = ((minute - now) % kMinutesPerWeek + kMinutesPerWeek) % kMinutesPerWeek;
    return distance == 0 ? kMinutesPerWeek : distance;
  };
  std::vector<int32_t> points;
  for (const ScheduleEntry &entry : schedule)
    points.push_back(entry.minuteOfWeek);
  std::sort(points.begin(), points.end(),
            [&](int32_t a, int32_t b) { return after(a) < after(b); });
  bool wanted = wantedState(schedule, now);
  for (int32_t point : points)
    if (wantedState(schedule, point) != wanted)
      return point;
  return std::nullopt;
}

std::string weekdayTime(int32_t minuteOfWeek) {
  static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  int32_t minute = ((minuteOfWeek % kMinutesPerWeek) + kMinutesPerWeek) % kMinutesPerWeek;
  char text[16];
  std::snprintf(text, sizeof(text), "%s %02d:%02d", kDays[minute / kMinutesPerDay],
                static_cast<int>(minute % kMinutesPerDay / 60), static_cast<int>(minute % 60));
  return text;
}

bool sameServiceName(const std::string &a, const std::string &b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}
