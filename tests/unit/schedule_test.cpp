#include "scheduler/schedule_parser.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Points = std::vector<std::pair<int32_t, bool>>;

Points points(const WeeklySchedule &schedule) {
  Points out;
  for (const ScheduleEntry &e : schedule)
    out.emplace_back(e.minuteOfWeek, e.wantRunning);
  return out;
}

// A schedule as the loader builds it: start points first, then stop points.
WeeklySchedule load(const std::string &start, const std::string &stop) {
  WeeklySchedule schedule;
  parseScheduleValue(start, true, schedule);
  parseScheduleValue(stop, false, schedule);
  return schedule;
}

constexpr int32_t kMonday0800 = 1440 + 8 * 60;

TEST(ScheduleParser, EachDayDigitMakesOneEntryInWeekOrder) {
  WeeklySchedule s;
  EXPECT_TRUE(parseScheduleValue("12345:0800;06:1000", true, s).empty());
  EXPECT_EQ(points(s), (Points{{600, true},
                               {1920, true},
                               {3360, true},
                               {4800, true},
                               {6240, true},
                               {7680, true},
                               {9240, true}}));
}

TEST(ScheduleParser, SeparatorsAndBlanksAroundTokensAreIgnored) {
  WeeklySchedule s;
  EXPECT_TRUE(parseScheduleValue(";;1:0800;  5:1800 ;\t6:0000\t;; ; \t", true, s).empty());
  EXPECT_EQ(points(s), (Points{{kMonday0800, true}, {5 * 1440 + 1080, true}, {6 * 1440, true}}));
}

TEST(ScheduleParser, InvalidTokensAreReturnedAsWrittenAndAddNothing) {
  WeeklySchedule s;
  std::vector<std::string> ignored = parseScheduleValue(
      "1:08; 0800 ;:0800;7:0800;1:2400;1:2360;1:08x0;1: 0800;1 :0800;-1:0800;a1:0800;1:+800;2:0900",
      true, s);
  EXPECT_EQ(ignored, (std::vector<std::string>{"1:08", "0800", ":0800", "7:0800", "1:2400",
                                               "1:2360", "1:08x0", "1: 0800", "1 :0800", "-1:0800",
                                               "a1:0800", "1:+800"}));
  EXPECT_EQ(points(s), (Points{{2 * 1440 + 540, true}}));
}

TEST(ScheduleParser, CharactersAfterTheFourTimeDigitsAreIgnored) {
  WeeklySchedule s;
  EXPECT_TRUE(parseScheduleValue("1:0800xyz;2:2359:0000", true, s).empty());
  EXPECT_EQ(points(s), (Points{{kMonday0800, true}, {2 * 1440 + 1439, true}}));
}

TEST(ScheduleParser, ExtremesStayInsideTheWeek) {
  WeeklySchedule s;
  EXPECT_TRUE(parseScheduleValue("0:0000;6:2359", false, s).empty());
  EXPECT_EQ(points(s), (Points{{0, false}, {kMinutesPerWeek - 1, false}}));
}

TEST(ScheduleParser, EqualMinutesKeepTheOrderAdded) {
  WeeklySchedule s = load("1:0800;11:0800", "1:0800");
  EXPECT_EQ(
      points(s),
      (Points{
          {kMonday0800, true}, {kMonday0800, true}, {kMonday0800, true}, {kMonday0800, false}}));
}

TEST(WantedState, EmptyScheduleWantsRunningAlways) {
  WeeklySchedule s = load("1:08;garbage", "");
  EXPECT_TRUE(s.empty());
  for (int32_t now : {0, kMonday0800, kMinutesPerWeek - 1})
    EXPECT_TRUE(wantedState(s, now));
}

TEST(WantedState, WorkdaySchedulesWrapAroundTheWeek) {
  WeeklySchedule s = load("12345:0800", "12345:1800");
  EXPECT_FALSE(wantedState(s, 0));    // Sunday: Friday's stop still rules
  EXPECT_FALSE(wantedState(s, 1919)); // Monday 07:59
  EXPECT_TRUE(wantedState(s, 1920));
  EXPECT_TRUE(wantedState(s, 2519));
  EXPECT_FALSE(wantedState(s, 2520)); // Monday 18:00
  EXPECT_TRUE(wantedState(s, 5 * 1440 + 1079));
  EXPECT_FALSE(wantedState(s, 5 * 1440 + 1080));
  for (int32_t now = 6 * 1440; now < kMinutesPerWeek; now += 60)
    EXPECT_FALSE(wantedState(s, now)) << now;
}

TEST(WantedState, BlankAfterSeparatorKeepsTheWrapAround) {
  // Read untrimmed, " 5:0800" would land before the week and hide Friday.
  WeeklySchedule s = load("1:0800; 5:0800", "1:1800; 5:1800");
  EXPECT_FALSE(wantedState(s, 0));
  EXPECT_TRUE(wantedState(s, 5 * 1440 + 600));
  EXPECT_FALSE(wantedState(s, 6 * 1440));
}

TEST(WantedState, SingleStartRunsAllWeek) {
  WeeklySchedule s = load("0:0000", "");
  for (int32_t now = 0; now < kMinutesPerWeek; now += 37)
    EXPECT_TRUE(wantedState(s, now)) << now;
}

TEST(WantedState, StopAtTheSameMinuteAsAStartWins) {
  WeeklySchedule s = load("1:0800", "1:0800");
  for (int32_t now : {0, 1919, 1920, 1921, kMinutesPerWeek - 1})
    EXPECT_FALSE(wantedState(s, now)) << now;
}

} // namespace
