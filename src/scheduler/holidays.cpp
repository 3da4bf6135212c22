#include "scheduler/holidays.h"

#include "common/text.h"
#include "scheduler/calendar.h"

#include <algorithm>

namespace {

const char *const kNotADate = "not a date";
const char *const kNoSuchDay = "no such day";

// Why date fields name no date; none when they name one.
const char *whyNoDate(const std::optional<CivilDate> &date) {
  return !date ? kNotADate : !validDate(*date) ? kNoSuchDay : nullptr;
}

// The day a full date names; why not, when it names none.
const char *dayOf(std::string_view text, std::int64_t &day) {
  std::optional<CivilDate> date = dateFields(text);
  if (const char *why = whyNoDate(date))
    return why;
  day = daysFromCivil(*date);
  return nullptr;
}

const char *holidayOf(std::string_view item, Holiday &holiday) {
  if (item.size() == 5) { // MM-DD, checked against a leap year so 02-29 is one
    std::optional<CivilDate> date = dateFields("2000-" + std::string(item));
    if (const char *why = whyNoDate(date))
      return why;
    holiday.month = date->month;
    holiday.day = date->day;
    return nullptr;
  }
  std::size_t dots = item.find("..");
  const char *why = dayOf(item.substr(0, dots), holiday.firstDay);
  if (why || dots == std::string_view::npos) {
    holiday.lastDay = holiday.firstDay;
    return why;
  }
  if ((why = dayOf(item.substr(dots + 2), holiday.lastDay)))
    return why;
  return holiday.lastDay < holiday.firstDay ? "range end before its start" : nullptr;
}

} // namespace

void parseHolidays(const std::string &value, std::vector<Holiday> &holidays,
                   std::vector<HolidayProblem> &problems) {
  for (std::size_t start = 0; start <= value.size();) {
    std::size_t end = std::min(value.find(';', start), value.size());
    std::string_view item = trimBlanks(std::string_view(value).substr(start, end - start));
    start = end + 1;
    if (item.empty())
      continue;
    Holiday holiday;
    if (const char *why = holidayOf(item, holiday))
      problems.push_back({std::string(item), why});
    else
      holidays.push_back(holiday);
  }
}

bool isHoliday(const std::vector<Holiday> &holidays, std::int64_t day) {
  if (holidays.empty())
    return false;
  const CivilDate date = civilFromDays(day);
  return std::any_of(holidays.begin(), holidays.end(), [&](const Holiday &h) {
    return h.month ? h.month == date.month && h.day == date.day
                   : h.firstDay <= day && day <= h.lastDay;
  });
}
