// Holidays of the schedule file: a "Holidays" value read into days, ranges of
// days and yearly dates, and whether a day is one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Days from firstDay to lastDay (days since 1970-01-01, both included), or,
// when month is not 0, that month and day of every year (02-29 only in leap
// years).
struct Holiday {
  std::int64_t firstDay = 0;
  std::int64_t lastDay = 0;
  int month = 0;
  int day = 0;
};

// An item of the value not taken, as written (blanks around it removed), and why.
struct HolidayProblem {
  std::string item;
  const char *why;
};

// Splits value at ";" into items YYYY-MM-DD, YYYY-MM-DD..YYYY-MM-DD and MM-DD
// (blanks around an item ignored, empty items skipped); appends those taken
// to holidays and the others, in order, to problems.
void parseHolidays(const std::string &value, std::vector<Holiday> &holidays,
                   std::vector<HolidayProblem> &problems);

bool isHoliday(const std::vector<Holiday> &holidays, std::int64_t day);
