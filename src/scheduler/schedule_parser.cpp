#include "scheduler/schedule_parser.h"

#include "common/text.h"

#include <string_view>

namespace {

bool isDigits(std::string_view text, char highest) {
  for (char c : text)
    if (c < '0' || c > highest)
      return false;
  return true;
}

// The time of day "HHMM" at the start of text, in minutes.
int timeOfDay(std::string_view text) {
  return ((text[0] - '0') * 10 + (text[1] - '0')) * 60 + (text[2] - '0') * 10 + (text[3] - '0');
}

// Adds the entries of a valid token, at the end.
void parseToken(std::string_view token, bool wantRunning, WeeklySchedule &schedule) {
  size_t colon = token.find(':');
  int time = timeOfDay(token.substr(colon + 1));
  for (char day : token.substr(0, colon))
    schedule.push_back({(day - '0') * kMinutesPerDay + time, wantRunning});
}

} // namespace

std::vector<TokenFinding> parseScheduleValue(const std::string &value, bool wantRunning,
                                             WeeklySchedule &schedule) {
  std::vector<TokenFinding> findings;
  std::string_view rest = value;
  while (!rest.empty()) {
    size_t end = rest.find(';');
    std::string_view token = trimBlanks(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    // Empty and blank-only tokens come from doubled or trailing separators.
    if (token.empty())
      continue;
    if (const char *problem = tokenProblem(token)) {
      findings.push_back({std::string(token), problem, {}});
      continue;
    }
    parseToken(token, wantRunning, schedule);
    std::string_view after = token.substr(token.find(':') + 5);
    if (!after.empty())
      findings.push_back({std::string(token), nullptr, std::string(after)});
  }
  sortSchedule(schedule); // once: a point at a time is quadratic in a large section
  return findings;
}

const char *tokenProblem(std::string_view token) {
  size_t colon = token.find(':');
  if (colon == std::string_view::npos)
    return "no colon";
  if (colon == 0)
    return "no day before the colon";
  if (!isDigits(token.substr(0, colon), '6'))
    return "day not 0-6";
  std::string_view time = token.substr(colon + 1, 4);
  if (time.size() < 4 || !isDigits(time, '9'))
    return "time not four digits HHMM";
  if (time.substr(0, 2) > "23")
    return "hour above 23";
  if (time.substr(2) > "59")
    return "minutes above 59";
  return nullptr;
}
