// Dates of the local calendar, for holidays and holds: days counted from
// 1970-01-01 (day 0), dates written YYYY-MM-DD and local times written
// "YYYY-MM-DD HH:MM". Local times are milliseconds since 1970-01-01 00:00
// on the local clock, as in schedule_time.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct CivilDate {
  int year = 1970;
  int month = 1; // 1-12
  int day = 1;   // 1-31
};

constexpr std::int64_t kMsPerMinute = 60000;
constexpr std::int64_t kMsPerDay = 24 * 60 * kMsPerMinute;

// Whether the date exists in the Gregorian calendar (2028-02-29 does,
// 2027-02-29 does not).
bool validDate(const CivilDate &date);

// Days from 1970-01-01 to a valid date (negative before it), and back.
std::int64_t daysFromCivil(const CivilDate &date);
CivilDate civilFromDays(std::int64_t days);

// The day a local time falls on, and the weekday of a day (0 Sunday).
std::int64_t dayOfLocalTime(std::int64_t localMs);
int weekdayOfDay(std::int64_t days);

// The fields of text written exactly YYYY-MM-DD (four, two and two digits),
// whether or not they make a valid date; none for any other shape.
std::optional<CivilDate> dateFields(std::string_view text);

// text written exactly "YYYY-MM-DD HH:MM" (one blank), a valid date and a
// time from 00:00 to 23:59, as a local time; none otherwise.
std::optional<std::int64_t> parseLocalTime(std::string_view text);

// "YYYY-MM-DD", and a local time as "YYYY-MM-DD HH:MM".
std::string dateText(const CivilDate &date);
std::string localTimeText(std::int64_t localMs);
