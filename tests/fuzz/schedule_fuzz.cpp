// Any value read from the schedule file: parsing never crashes, every point lies inside the
// week in minute order, and every token handed back is non-empty, without blanks around it, and
// ends in the text said to be ignored, given only for a token that is not invalid.
#include "scheduler/schedule_parser.h"

#include <cstdlib>

static void check(bool holds) {
  if (!holds)
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  WeeklySchedule schedule;
  // The first half as start points, the rest as stop points, into one list.
  for (bool start : {true, false})
    for (const TokenFinding &f : parseScheduleValue(
             start ? input.substr(0, size / 2) : input.substr(size / 2), start, schedule)) {
      const std::string &t = f.token, &ignored = f.ignoredText;
      check(!t.empty() && t.find_first_of(" \t") != 0 && t.find_last_of(" \t") != t.size() - 1);
      check(!f.problem == !ignored.empty() && ignored.size() < t.size() &&
            t.compare(t.size() - ignored.size(), std::string::npos, ignored) == 0);
    }
  int32_t previous = 0;
  for (const ScheduleEntry &entry : schedule) {
    check(entry.minuteOfWeek >= previous && entry.minuteOfWeek < kMinutesPerWeek);
    previous = entry.minuteOfWeek;
  }
  if (!schedule.empty())
    wantedState(schedule, schedule.front().minuteOfWeek);
  return 0;
}
