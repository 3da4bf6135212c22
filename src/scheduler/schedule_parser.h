// Reading a "Start"/"Stop" value of the schedule file, such as
// "12345:0800;06:1000", into schedule entries.
#pragma once

#include "scheduler/weekly_schedule.h"

#include <string>
#include <string_view>
#include <vector>

// A token of a value that was not taken whole: problem says why it was not
// taken at all; or it was taken and ignoredText is what followed its four
// time digits.
struct TokenFinding {
  std::string token; // as written, blanks around it removed
  const char *problem = nullptr;
  std::string ignoredText;
};

// Splits value at ";" and inserts one entry per day digit of every valid
// token "D...D:HHMM" (days 0-6, time 0000-2359, anything after the four time
// digits ignored; blanks and tabs around a token ignored). Returns the
// tokens not taken, and those taken with text after their time, in order.
std::vector<TokenFinding> parseScheduleValue(const std::string &value, bool wantRunning,
                                             WeeklySchedule &schedule);

// Why token (blanks around it already removed) is not taken, such as "hour
// above 23"; null when it is a valid token.
const char *tokenProblem(std::string_view token);
