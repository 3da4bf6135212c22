#include "scheduler/calendar.h"

#include <cstdio>

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The value of count decimal digits at text's start; none if one is not a digit.
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
      return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

} // namespace

bool validDate(const CivilDate &date) {
  static const int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1)
    return false;
  int last = kDaysIn[date.month - 1] + (date.month == 2 && leapYear(date.year) ? 1 : 0);
  return date.day <= last;
}

// The proleptic Gregorian count in 400-year eras of 146,097 days, with the
// year taken to begin in March so that a leap day ends it.
std::int64_t daysFromCivil(const CivilDate &date) {
  const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
  const std::int64_t era = floorDiv(y, 400);
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear =
      (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = floorDiv(days, 146097);
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  CivilDate date;
  date.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

std::int64_t dayOfLocalTime(std::int64_t localMs) { return floorDiv(localMs, kMsPerDay); }

// 1970-01-01 was a Thursday.
int weekdayOfDay(std::int64_t days) { return static_cast<int>(((days + 4) % 7 + 7) % 7); }

std::optional<CivilDate> dateFields(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-')
    return std::nullopt;
  std::optional<int> year = digits(text, 0, 4), month = digits(text, 5, 2),
                     day = digits(text, 8, 2);
  if (!year || !month || !day)
    return std::nullopt;
  return CivilDate{*year, *month, *day};
}

std::optional<std::int64_t> parseLocalTime(std::string_view text) {
  if (text.size() != 16 || text[10] != ' ' || text[13] != ':')
    return std::nullopt;
  std::optional<CivilDate> date = dateFields(text.substr(0, 10));
  std::optional<int> hour = digits(text, 11, 2), minute = digits(text, 14, 2);
  if (!date || !validDate(*date) || !hour || !minute || *hour > 23 || *minute > 59)
    return std::nullopt;
  return daysFromCivil(*date) * kMsPerDay + (*hour * 60 + *minute) * kMsPerMinute;
}

std::string dateText(const CivilDate &date) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::string localTimeText(std::int64_t localMs) {
  const std::int64_t day = dayOfLocalTime(localMs);
  const int minutes = static_cast<int>((localMs - day * kMsPerDay) / kMsPerMinute);
  char text[32];
  std::snprintf(text, sizeof text, " %02d:%02d", minutes / 60, minutes % 60);
  return dateText(civilFromDays(day)) + text;
}
