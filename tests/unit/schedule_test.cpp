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

TEST(ScheduleParser, ValidTokens) {
  const struct {
    const char *value;
    Points points;
  } cases[] = {
      {"12345:0800;06:1000",
       {{600, true},
        {1920, true},
        {3360, true},
        {4800, true},
        {6240, true},
        {7680, true},
        {9240, true}}},
      {";;1:0800;  5:1800 ;\t6:0000\t;; ; \t", {{1920, true}, {8280, true}, {8640, true}}},
      {"0:0000;6:2359", {{0, true}, {10079, true}}},
  };
  for (const auto &c : cases) {
    WeeklySchedule s;
    EXPECT_TRUE(parseScheduleValue(c.value, true, s).empty()) << c.value;
    EXPECT_EQ(points(s), c.points) << c.value;
  }
}

// Stored files may rely on text after the time being ignored; it is taken,
// and handed back so that it can be told.
TEST(ScheduleParser, TextAfterTheTimeIsIgnoredAndHandedBack) {
  WeeklySchedule s;
  std::vector<TokenFinding> found = parseScheduleValue("1:0800xyz; 3:1200,4:1200 ;2:2359", true, s);
  EXPECT_EQ(points(s), (Points{{1920, true}, {4319, true}, {5040, true}}));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].token, "1:0800xyz");
  EXPECT_EQ(found[0].ignoredText, "xyz");
  EXPECT_EQ(found[1].token, "3:1200,4:1200");
  EXPECT_EQ(found[1].ignoredText, ",4:1200");
  EXPECT_EQ(found[1].problem, nullptr);
}

TEST(ScheduleParser, InvalidTokensAreReturnedAsWrittenWithTheirReason) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"1:08", "time not four digits HHMM"},
      {"0800", "no colon"},
      {"7:0800", "day not 0-6"},
      {"1:2400", "hour above 23"},
      {"1:2360", "minutes above 59"},
      {"1:08x0", "time not four digits HHMM"},
      {"1:080x", "time not four digits HHMM"},
      {"1: 0800", "time not four digits HHMM"},
      {"1 :0800", "day not 0-6"},
      {"-1:0800", "day not 0-6"},
      {":0800", "no day before the colon"},
      {"1:+800", "time not four digits HHMM"}};
  std::string value = "2:0900";
  std::vector<std::string> tokens;
  for (const auto &[token, reason] : bad) {
    value += "; " + token + " ";
    tokens.push_back(token);
    EXPECT_EQ(tokenProblem(token), reason) << token;
  }
  WeeklySchedule s;
  std::vector<std::string> returned;
  for (const TokenFinding &f : parseScheduleValue(value, true, s))
    returned.push_back(f.token);
  EXPECT_EQ(returned, tokens);
  EXPECT_EQ(points(s), (Points{{2 * 1440 + 540, true}}));
  EXPECT_EQ(tokenProblem("2:0900"), nullptr);
}

TEST(WantedState, FollowsTheLastPointAtOrBeforeNowAroundTheWeek) {
  const struct {
    const char *start, *stop;
    Points expected; // minute, wanted running
  } cases[] = {
      {"", "", {{0, true}, {10079, true}}},                             // no point: always running
      {"0:0000", "", {{0, true}, {5000, true}, {10079, true}}},         // a single start
      {"1:0800", "1:0800", {{0, false}, {1920, false}, {1921, false}}}, // the stop wins
      // Workdays: Friday's stop still rules on Sunday; blanks after ";" change nothing.
      {"12345:0800",
       "1:1800; 2345:1800",
       {{0, false},
        {1919, false},
        {1920, true},
        {2519, true},
        {2520, false},
        {8279, true},
        {8280, false},
        {10079, false}}},
  };
  for (const auto &c : cases) {
    WeeklySchedule s = load(c.start, c.stop);
    for (const auto &[minute, running] : c.expected)
      EXPECT_EQ(wantedState(s, minute), running) << c.start << " / " << c.stop << " @" << minute;
  }
}

TEST(WantedState, EqualMinutesKeepTheOrderAdded) {
  WeeklySchedule s = load("1:0800;11:0800", "1:0800");
  EXPECT_EQ(points(s), (Points{{1920, true}, {1920, true}, {1920, true}, {1920, false}}));
}

TEST(NextChange, FirstPointAfterNowThatChangesTheWantedStateRoundTheWeek) {
  WeeklySchedule office = load("12345:0800", "12345:1800");
  EXPECT_EQ(nextChange(office, 0), 1920);    // Sunday: Monday's start
  EXPECT_EQ(nextChange(office, 1920), 2520); // at a start: that day's stop
  EXPECT_EQ(nextChange(office, 8280), 1920); // Friday's stop: wraps to Monday
  EXPECT_EQ(weekdayTime(8280), "Fri 18:00");
  EXPECT_EQ(weekdayTime(0), "Sun 00:00");
  EXPECT_EQ(nextChange(load("3:1200", ""), 100), std::nullopt);       // a single point
  EXPECT_EQ(nextChange(load("1:0800", "1:0800"), 100), std::nullopt); // never runs
  WeeklySchedule twoStarts = load("1:0800;2:0800", "1:1800");
  EXPECT_EQ(nextChange(twoStarts, 3000), 3360);
  EXPECT_EQ(nextChange(twoStarts, 3360), 2520); // Monday's start changes nothing
}

} // namespace
