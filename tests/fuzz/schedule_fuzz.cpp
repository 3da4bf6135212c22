// Any value read from the schedule file: parsing never crashes, every entry
// lies inside the week, the schedule stays in minute order, and every token
// handed back for the log is non-empty and free of surrounding blanks, with
// any text said to be ignored at its end.
#include "scheduler/schedule_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool holds) {
  if (!holds)
    std::abort();
}

void parseChecked(const std::string &value, bool wantRunning, WeeklySchedule &schedule) {
  for (const TokenFinding &found : parseScheduleValue(value, wantRunning, schedule)) {
    const std::string &token = found.token;
    check(!token.empty() && token.front() != ' ' && token.front() != '\t' && token.back() != ' ' &&
          token.back() != '\t');
    check(!found.problem == !found.ignoredText.empty() && found.ignoredText.size() < token.size() &&
          token.compare(token.size() - found.ignoredText.size(), std::string::npos,
                        found.ignoredText) == 0);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input(reinterpret_cast<const char *>(data), size);
  // The first half as start points, the rest as stop points, into one list.
  WeeklySchedule schedule;
  parseChecked(input.substr(0, size / 2), true, schedule);
  parseChecked(input.substr(size / 2), false, schedule);
  int32_t previous = 0;
  for (const ScheduleEntry &entry : schedule) {
    check(entry.minuteOfWeek >= previous && entry.minuteOfWeek < kMinutesPerWeek);
    previous = entry.minuteOfWeek;
  }
  if (!schedule.empty())
    wantedState(schedule, schedule.front().minuteOfWeek);
  return 0;
}
