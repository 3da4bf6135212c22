#include "scheduler/schedule_parser.h"

#include <string_view>

namespace {

bool isDigit(char c, char highest) { return c >= '0' && c <= highest; }

// Time of day in minutes from "HHMM" at the start of text, or -1.
int timeOfDay(std::string_view text) {
  if (text.size() < 4)
    return -1;
  for (size_t i = 0; i < 4; ++i)
    if (!isDigit(text[i], '9'))
      return -1;
  int hour = (text[0] - '0') * 10 + (text[1] - '0');
  int minute = (text[2] - '0') * 10 + (text[3] - '0');
  return hour <= 23 && minute <= 59 ? hour * 60 + minute : -1;
}

// Inserts the token's entries; false (nothing inserted) when it is not valid.
bool parseToken(std::string_view token, bool wantRunning, WeeklySchedule &schedule) {
  size_t colon = token.find(':');
  if (colon == std::string_view::npos || colon == 0)
    return false;
  std::string_view days = token.substr(0, colon);
  for (char day : days)
    if (!isDigit(day, '6'))
      return false;
  int time = timeOfDay(token.substr(colon + 1));
  if (time < 0)
    return false;
  for (char day : days)
    insertSorted(schedule, {(day - '0') * kMinutesPerDay + time, wantRunning});
  return true;
}

std::string_view trimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::vector<std::string> parseScheduleValue(const std::string &value, bool wantRunning,
                                            WeeklySchedule &schedule) {
  std::vector<std::string> ignored;
  std::string_view rest = value;
  while (!rest.empty()) {
    size_t end = rest.find(';');
    std::string_view token = trimBlanks(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    // Empty and blank-only tokens come from doubled or trailing separators.
    if (!token.empty() && !parseToken(token, wantRunning, schedule))
      ignored.emplace_back(token);
  }
  return ignored;
}
