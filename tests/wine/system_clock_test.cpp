// The scheduler's reading of the system clock and time zone against the
// local time Windows itself gives.
#include "scheduler/system_clock.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(SystemClock, GivesTheLocalMinuteOfTheWeekWindowsGives) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    std::int64_t utc = readSystemClock().utcMs;
    std::int32_t minute = minuteOfWeekAt(utc + localOffsetMs(utc));
    std::int32_t readAt = scheduleMinuteNow();
    GetLocalTime(&after);
    if (before.wMinute != after.wMinute)
      continue; // a minute began in between
    EXPECT_EQ(minute, qvntest::minuteOfWeek(before));
    EXPECT_EQ(readAt, minute); // outside the hour after daylight saving time ends
    return;
  }
  FAIL() << "the minute kept changing";
}

} // namespace
