#include "scheduler/scheduler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::int32_t kMonday0800 = 1440 + 8 * 60;
constexpr std::uint32_t kCap = 600000;

TEST(NextWake, StartOfTheNextPointsMinuteOrTheCap) {
  struct Row {
    const char *what;
    std::vector<std::int32_t> points; // one record each
    std::int32_t checkMinute;
    std::int64_t msSince;
    std::uint32_t wait;
  };
  const Row rows[] = {
      {"later this week", {kMonday0800 + 5, 9000, 100}, kMonday0800, 1500, 5 * 60000 - 1500},
      {"later this week, past the cap", {kMonday0800 + 11}, kMonday0800, 0, kCap},
      {"wrap into next week", {10000, 2}, 10079, 500, 3 * 60000 - 500},
      {"no points at all", {}, kMonday0800, 0, kCap},
      {"a point at the current minute", {kMonday0800, kMonday0800 + 1}, kMonday0800, 59000, 1000},
      {"only at the current minute", {kMonday0800}, kMonday0800, 0, kCap},
      {"its minute has begun", {kMonday0800 + 1}, kMonday0800, 61000, 0},
      {"the clock went back before the minute", {kMonday0800 + 1}, kMonday0800, -30000, 90000},
  };
  for (const Row &row : rows) {
    std::list<ServiceRecord> records;
    records.emplace_back(); // one without points
    for (std::int32_t minute : row.points)
      insertSorted(records.emplace_back().schedule, {minute, true});
    EXPECT_EQ(nextWakeMs(records, row.checkMinute, row.msSince, kCap), row.wait) << row.what;
  }
}

} // namespace
