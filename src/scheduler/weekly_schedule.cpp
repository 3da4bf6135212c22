#include "scheduler/weekly_schedule.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

} // namespace

void insertSorted(WeeklySchedule &schedule, const ScheduleEntry &entry) {
  auto at = std::upper_bound(schedule.begin(), schedule.end(), entry,
                             [](const ScheduleEntry &a, const ScheduleEntry &b) {
                               return a.minuteOfWeek < b.minuteOfWeek;
                             });
  schedule.insert(at, entry);
}

void sortSchedule(WeeklySchedule &schedule) {
  schedule.sort([](const ScheduleEntry &a, const ScheduleEntry &b) {
    return a.minuteOfWeek < b.minuteOfWeek;
  });
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
  // The state each point's minute leaves (its last entry rules), in one
  // walk; then the first minute after now, going round the week and a
  // point at now itself coming last, whose state differs from now's.
  std::vector<std::pair<int32_t, bool>> minutes;
  for (const ScheduleEntry &entry : schedule) {
    if (!minutes.empty() && minutes.back().first == entry.minuteOfWeek)
      minutes.back().second = entry.wantRunning;
    else
      minutes.emplace_back(entry.minuteOfWeek, entry.wantRunning);
  }
  const bool wanted = wantedState(schedule, now);
  std::optional<int32_t> later, roundTheWeek;
  for (const auto &[minute, state] : minutes)
    if (state != wanted) {
      if (minute > now && !later)
        later = minute;
      if (minute <= now && !roundTheWeek)
        roundTheWeek = minute;
    }
  return later ? later : roundTheWeek;
}

std::string weekdayTime(int32_t minuteOfWeek) {
  int32_t minute = ((minuteOfWeek % kMinutesPerWeek) + kMinutesPerWeek) % kMinutesPerWeek;
  char text[16];
  std::snprintf(text, sizeof(text), "%s %02d:%02d", kDays[minute / kMinutesPerDay],
                static_cast<int>(minute % kMinutesPerDay / 60), static_cast<int>(minute % 60));
  return text;
}

std::vector<std::string> weekChart(const WeeklySchedule &schedule, int32_t now) {
  // The wanted state at every minute, in one walk over the points.
  std::vector<bool> running(kMinutesPerWeek);
  bool wanted = schedule.empty() || schedule.back().wantRunning;
  auto next = schedule.begin();
  for (int32_t minute = 0; minute < kMinutesPerWeek; ++minute) {
    for (; next != schedule.end() && next->minuteOfWeek <= minute; ++next)
      wanted = next->wantRunning;
    running[minute] = wanted;
  }
  std::vector<std::string> lines;
  std::string ruler = "  Week  ";
  for (int hour = 0; hour < 24; hour += 3)
    ruler += (std::to_string(hour) + "      ").substr(0, 6);
  lines.push_back(ruler + "  #=running .=stopped");
  const int32_t today = ((now % kMinutesPerWeek) + kMinutesPerWeek) % kMinutesPerWeek;
  for (int day = 0; day < 7; ++day) {
    std::string line = std::string("  ") + kDays[day] + "   ";
    for (int32_t start = day * kMinutesPerDay; start < (day + 1) * kMinutesPerDay; start += 30) {
      int minutesRunning = 0;
      for (int32_t minute = start; minute < start + 30; ++minute)
        minutesRunning += running[minute] ? 1 : 0;
      bool shown = minutesRunning == 15 ? running[start + 29] : minutesRunning > 15;
      line += shown ? '#' : '.';
    }
    lines.push_back(line);
    if (today / kMinutesPerDay == day)
      lines.push_back(std::string(8 + today % kMinutesPerDay / 30, ' ') + "^ now");
  }
  return lines;
}
