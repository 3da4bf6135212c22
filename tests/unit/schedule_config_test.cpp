#include "scheduler/schedule_config.h"
#include "scheduler/schedule_parser.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

using Kind = ScheduleFinding::Kind;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// A section as the reader gives it, from its key lines in order.
IniSection section(const std::string &name, const Pairs &lines) {
  IniSection s;
  s.name = name;
  std::vector<std::string> text;
  for (const auto &[key, value] : lines)
    text.push_back(key + "=" + value);
  addSectionLines(s, text);
  return s;
}

IniFile fileOf(std::initializer_list<IniSection> sections) {
  IniFile file;
  file.path = "C:\\windows\\Qvn.ini";
  file.state = IniFile::State::Read;
  file.hasContent = sections.size() > 0;
  file.sections = sections;
  return file;
}

// kind:subject of every finding, in order.
std::vector<std::string> found(const LoadedSchedule &loaded) {
  std::vector<std::string> out;
  for (const ScheduleFinding &f : loaded.findings)
    out.push_back(std::to_string(static_cast<int>(f.kind)) + ":" + f.subject);
  return out;
}
std::string finding(Kind kind, const std::string &subject) {
  return std::to_string(static_cast<int>(kind)) + ":" + subject;
}

TEST(ScheduleConfig, SectionsBecomeRecordsInFileOrder) {
  LoadedSchedule loaded =
      loadSchedule(fileOf({section("Zeta", {{"Start", "15:0800"},
                                            {"Stop", "15:1800"},
                                            {"ForceStart", "y"},
                                            {"ForceStop", "Y"}}),
                           section("Alpha", {{"forcestart", "yes"}, {"FORCESTOP", "y"}}),
                           section("Mid", {{"Start", "1:0800"}, {"Stop", "1:0800"}})}),
                   "Qvn");
  EXPECT_TRUE(loaded.usable);
  EXPECT_EQ(found(loaded), std::vector<std::string>{finding(Kind::ForceNeverActs, "ForceStop=y")});
  ASSERT_EQ(loaded.records.size(), 3u);
  auto it = loaded.records.begin();
  EXPECT_EQ(it->name, "Zeta");
  EXPECT_TRUE(it->forceStart && !it->forceStop);
  EXPECT_EQ(pointLines(*it), (std::vector<std::string>{"Start at 1920", "Stop at 2520",
                                                       "Start at 7680", "Stop at 8280"}));
  ++it;
  EXPECT_TRUE(!it->forceStart && it->forceStop && it->schedule.empty());
  ++it; // a start and a stop at one minute: the stop comes after
  EXPECT_EQ(pointLines(*it), (std::vector<std::string>{"Start at 1920", "Stop at 1920"}));
  EXPECT_EQ(loaded.points(), 6u);
}

TEST(ScheduleConfig, WhatTheServiceWouldIgnoreIsFoundAndWhy) {
  IniSection lost = section("???", {{"Start", "1:0800"}});
  lost.nameLost = true;
  LoadedSchedule loaded = loadSchedule(
      fileOf({section("A", {{"Start", "3:1200,4:1200"}, {"Stopp", "1:0800"}, {"start", "2:0800"}}),
              section("qvn", {{"Stop", "0123456:0000"}}), lost,
              section("B", {{"Stop", "1:0800;1:2400"}, {"ForceStart", "y"}}),
              section("a", {{"Start", "1:0900"}}),
              section("C", {{"ForceStart", "y"}, {"ForceStop", "y"}})}),
      "Qvn");
  EXPECT_EQ(found(loaded), (std::vector<std::string>{
                               finding(Kind::UnknownKey, "Stopp"),
                               finding(Kind::RepeatedKey, "start"),
                               finding(Kind::IgnoredText, "3:1200,4:1200"),
                               finding(Kind::OwnSection, "qvn"),
                               finding(Kind::SectionNameLost, "???"),
                               finding(Kind::IgnoredEntry, "1:2400"),
                               finding(Kind::ForceNeverActs, "ForceStart=y"),
                               finding(Kind::RepeatedSection, "a"),
                               finding(Kind::ForceNeverActs, "ForceStop=y"),
                           }));
  EXPECT_EQ(loaded.records.size(), 3u); // A, B, C: never the scheduler's own
  EXPECT_EQ(loaded.findings[2].detail, ",4:1200");
  EXPECT_EQ(loaded.findings[2].logLine,
            "Ignoring text ,4:1200 of schedule entry 3:1200,4:1200 of service A");
  EXPECT_EQ(loaded.findings[5].logLine, "Ignoring schedule entry 1:2400 of service B");
  EXPECT_EQ(loaded.findings[7].logLine, "Ignoring repeated schedule section a");
  EXPECT_TRUE(loaded.usable);
}

TEST(ScheduleConfig, AFileThatCannotBeReadIsNotAnEmptySchedule) {
  const struct {
    IniFile::State state;
    bool hasContent, utf8Mark;
    std::vector<Kind> kinds;
    bool usable;
  } rows[] = {
      {IniFile::State::Missing, false, false, {Kind::FileMissing}, true},
      {IniFile::State::Unreadable, false, false, {Kind::FileUnreadable}, false},
      {IniFile::State::Read, true, false, {Kind::FileWithoutSections}, false}, // UTF-16, no mark
      {IniFile::State::Read, false, false, {}, true},                          // comments only
      {IniFile::State::Read, false, true, {Kind::Utf8Mark}, true},
  };
  for (const auto &row : rows) {
    IniFile file = fileOf({});
    file.state = row.state;
    file.hasContent = row.hasContent;
    file.utf8Mark = row.utf8Mark;
    file.whyUnreadable = "in use";
    LoadedSchedule loaded = loadSchedule(file, "Qvn");
    std::vector<Kind> kinds;
    for (const ScheduleFinding &f : loaded.findings)
      kinds.push_back(f.kind);
    EXPECT_EQ(kinds, row.kinds) << static_cast<int>(row.state);
    EXPECT_EQ(loaded.usable, row.usable) << static_cast<int>(row.state);
  }
  IniFile held = fileOf({});
  held.state = IniFile::State::Unreadable;
  held.whyUnreadable = "The process cannot access the file.";
  EXPECT_EQ(loadSchedule(held, "Qvn").findings.at(0).logLine,
            "Schedule file C:\\windows\\Qvn.ini cannot be read: The process cannot access the "
            "file.");
}

TEST(IniFile, BytesTellAMarkAndWhetherAnyLineCounts) {
  const struct {
    std::string bytes;
    bool utf8Mark, hasContent;
  } rows[] = {
      {"", false, false},
      {"; only a comment\r\n\r\n  \t\r\n", false, false},
      {"\xEF\xBB\xBF[Spooler]\r\n", true, true},
      {"\xEF\xBB\xBF; comment\r\n", true, false},
      {std::string("\xFF\xFE;\0 \0c\0\r\0\n\0", 12), false, false}, // UTF-16, comment only
      {std::string("\xFF\xFE[\0S\0]\0", 8), false, true},
      {std::string("[\0S\0]\0", 6), false, true}, // UTF-16 without its mark
      {"Start=1:0800", false, true},
  };
  for (const auto &row : rows) {
    FileFacts facts = fileFacts(row.bytes);
    EXPECT_EQ(facts.utf8Mark, row.utf8Mark) << row.bytes;
    EXPECT_EQ(facts.hasContent, row.hasContent) << row.bytes;
  }
  IniSection s;
  addSectionLines(s, {"Start=1:0800", " Stop = \"2:0900\" ", "bare", ";c=1", "", "=x", "start=9",
                      "Q='a'b'", "R='"});
  EXPECT_EQ(s.keys, (std::vector<std::string>{"Start", "Stop", "bare", "start", "Q", "R"}));
  EXPECT_EQ(s.value("START", ""), "1:0800");
  EXPECT_EQ(s.value("stop", ""), "2:0900");
  EXPECT_EQ(s.value("bare", "default"), "");
  EXPECT_EQ(s.value("Q", ""), "a'b");
  EXPECT_EQ(s.value("R", ""), "'");
}

// The chart's day lines, without the ruler and the marker.
std::vector<std::string> days(const char *start, const char *stop, int32_t now = 0) {
  WeeklySchedule s;
  parseScheduleValue(start, true, s);
  parseScheduleValue(stop, false, s);
  std::vector<std::string> lines = weekChart(s, now), out;
  for (size_t i = 1; i < lines.size(); ++i)
    if (lines[i].find('^') == std::string::npos)
      out.push_back(lines[i].substr(8));
  return out;
}

TEST(WeekChart, HalfHoursShowTheStateThatRulesMostOfThem) {
  const std::string off(48, '.'), on(48, '#');
  const std::string office = std::string(16, '.') + std::string(20, '#') + std::string(12, '.');
  EXPECT_EQ(days("12345:0800", "12345:1800"),
            (std::vector<std::string>{off, office, office, office, office, office, off}));
  // Night shift: 22:00 to 06:00, crossing midnight and the week's end.
  const std::string night = std::string(12, '#') + std::string(32, '.') + std::string(4, '#');
  EXPECT_EQ(days("0123456:2200", "0123456:0600"), std::vector<std::string>(7, night));
  // Saturday 23:59 wraps into Sunday: stopped until then, running after.
  std::vector<std::string> wrap(7, off);
  wrap[0] = std::string(20, '#') + std::string(28, '.');
  wrap[6] = off;
  EXPECT_EQ(days("6:2359", "0:1000"), wrap);
  EXPECT_EQ(days("3:1200", ""), std::vector<std::string>(7, on)); // a single point
  // In one half hour: running 08:10-08:20 (10 of 30) shows stopped; 09:00
  // to 09:20 shows running; 10:15 to 10:30, half of it, shows the later state.
  std::string mixed = off;
  mixed[18] = mixed[20] = mixed[21] = '#';
  EXPECT_EQ(days("1:0810;1:0900;1:1015", "1:0820;1:0920;1:1100")[1], mixed);
}

TEST(WeekChart, RulerAndMarkerUnderTodayFitAConsole) {
  WeeklySchedule s;
  parseScheduleValue("1:0800", true, s);
  parseScheduleValue("1:1800", false, s);
  std::vector<std::string> lines = weekChart(s, 1440 + 9 * 60 + 41); // Monday 09:41
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0],
            "  Week  0     3     6     9     12    15    18    21      #=running .=stopped");
  EXPECT_EQ(lines[2].substr(0, 8), "  Mon   ");
  EXPECT_EQ(lines[3], std::string(8 + 19, ' ') + "^ now");
  for (const std::string &line : lines)
    EXPECT_LE(line.size(), 79u) << line;
}

} // namespace
