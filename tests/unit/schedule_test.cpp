// The weekly schedule: values parsed into points, the state wanted and the next change round
// the week, a schedule file's sections and what the service would ignore, the week chart.
#include "schedule_records.h"
#include "scheduler/calendar.h"
#include "scheduler/schedule_config.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Lines = std::vector<std::string>;

// Points in order: the minute of the week, "+" for a start, "-" for a stop.
std::string points(const WeeklySchedule &schedule) {
  std::string out;
  for (const ScheduleEntry &e : schedule)
    out += (out.empty() ? "" : " ") + std::to_string(e.minuteOfWeek) + (e.wantRunning ? "+" : "-");
  return out;
}

WeeklySchedule load(const char *start, const char *stop) {
  return record("", start, stop).schedule;
}

TEST(ScheduleParser, PointsTakenTextIgnoredAndInvalidTokensWithTheirReason) {
  // A start value, its points, and what is handed back to be told: text after a time is ignored
  // (stored files may rely on it); an invalid token takes no point and is handed back as written,
  // without the blanks around it, with its reason.
  const char *const rows[][3] = {
      {"12345:0800;06:1000", "600+ 1920+ 3360+ 4800+ 6240+ 7680+ 9240+", ""},
      {";;1:0800;  5:1800 ;\t6:0000\t;; ; \t", "1920+ 8280+ 8640+", ""},
      {"1:0800xyz; 3:1200,4:1200 ;2:2359", "1920+ 4319+ 5040+",
       "1:0800xyz [xyz]; 3:1200,4:1200 [,4:1200]"},
      {"1:08; 1:08x0;1:080x ; 1: 0800; 1:+800", "",
       "1:08: time not four digits HHMM; 1:08x0: time not four digits HHMM; 1:080x: time not four "
       "digits HHMM; 1: 0800: time not four digits HHMM; 1:+800: time not four digits HHMM"},
      {"7:0800; 1 :0800; -1:0800; :0800; 0800", "",
       "7:0800: day not 0-6; 1 :0800: day not 0-6; -1:0800: day not 0-6; :0800: no day before the "
       "colon; 0800: no colon"},
      {"2:0900; 1:2400 ; 1:2360", "3420+", "1:2400: hour above 23; 1:2360: minutes above 59"}};
  for (const auto &[value, expected, told] : rows) {
    WeeklySchedule s;
    std::string found;
    for (const TokenFinding &f : parseScheduleValue(value, true, s))
      found += (found.empty() ? "" : "; ") + f.token +
               (f.problem ? std::string(": ") + f.problem : " [" + f.ignoredText + "]");
    EXPECT_EQ(points(s), expected) << value;
    EXPECT_EQ(found, told) << value;
  }
}

TEST(WeeklySchedule, WantedStateAndNextChangeRoundTheWeek) {
  // Start and stop values, and the state wanted at minutes of the week.
  const char *const cases[][3] = {
      {"", "", "0+ 10079+"},                  // no point: always running
      {"1:0800", "1:0800", "0- 1920- 1921-"}, // the stop wins
      // Workdays: Friday's stop still rules on Sunday; blanks after ";" change nothing.
      {"12345:0800", "1:1800; 2345:1800", "0- 1919- 1920+ 2519+ 2520- 8279+ 8280- 10079-"}};
  for (const auto &c : cases) {
    std::istringstream wanted(c[2]);
    std::int32_t minute;
    for (char state; wanted >> minute >> state;)
      EXPECT_EQ(wantedState(load(c[0], c[1]), minute), state == '+')
          << c[0] << "/" << c[1] << " @" << minute;
  }
  // Equal minutes keep the order added.
  EXPECT_EQ(points(load("1:0800;11:0800", "1:0800")), "1920+ 1920+ 1920+ 1920-");
  // The next change: from Sunday, Monday's start; at a start, that day's stop; from Friday's
  // stop round the week to Monday; a start that changes nothing is passed over; none for a
  // single point or a schedule that never runs.
  WeeklySchedule office = load("12345:0800", "12345:1800"), two = load("1:0800;2:0800", "1:1800");
  EXPECT_EQ((std::vector<std::optional<std::int32_t>>{
                nextChange(office, 0), nextChange(office, 1920), nextChange(office, 8280),
                nextChange(two, 3000), nextChange(two, 3360), nextChange(load("3:1200", ""), 100),
                nextChange(load("1:0800", "1:0800"), 100)}),
            (std::vector<std::optional<std::int32_t>>{1920, 2520, 1920, 3360, 2520, {}, {}}));
}

// Days and dates (leap years by the century rule, a month's and a year's end, before 1970), and
// the items of a Holidays value: those taken and why the others are not.
TEST(Holidays, CalendarDaysAndTheItemsOfAValue) {
  for (std::int64_t day = -800; day < 22000; ++day)
    ASSERT_TRUE(validDate(civilFromDays(day)) && daysFromCivil(civilFromDays(day)) == day) << day;
  EXPECT_EQ(dateText(civilFromDays(daysFromCivil({2026, 12, 31}) + 1)), "2027-01-01");
  EXPECT_TRUE(weekdayOfDay(daysFromCivil({2026, 12, 9})) == 3 && weekdayOfDay(-1) == 3);
  EXPECT_FALSE(validDate({1900, 2, 29}) || parseLocalTime("2027-02-29 08:00"));
  std::vector<Holiday> holidays;
  std::vector<HolidayProblem> problems;
  parseHolidays(" 2026-12-31..2027-01-01 ;;12-24; 02-29;2027-02-01 ; 2027-02-29;24.12.;"
                "2027-01-05..2027-01-04;2027-1-5;02-30;2027-01-01..",
                holidays, problems);
  std::string found, days;
  for (const HolidayProblem &p : problems)
    found += p.item + ": " + p.why + "; ";
  EXPECT_EQ(found, "2027-02-29: no such day; 24.12.: not a date; 2027-01-05..2027-01-04: range end "
                   "before its start; 2027-1-5: not a date; 02-30: no such day; 2027-01-01..: not "
                   "a date; ");
  // Both ends of a range count; a yearly 02-29 only where the year has it.
  for (const char *date : {"2026-12-30", "2026-12-31", "2027-01-01", "2027-01-02", "2030-12-24",
                           "2027-02-28", "2027-03-01", "2028-02-29", "2027-02-01"})
    days += isHoliday(holidays, daysFromCivil(*dateFields(date))) ? '#' : '.';
  EXPECT_EQ(days, ".##.#..##");
}

// A section as the reader gives it, from its key lines in order.
IniSection section(const std::string &name, const Lines &lines) {
  IniSection s;
  s.name = name;
  addSectionLines(s, lines);
  return s;
}

IniFile fileOf(std::vector<IniSection> sections, IniFile::State state = IniFile::State::Read) {
  IniFile file;
  file.path = "C:\\windows\\Qvn.ini";
  file.state = state;
  file.hasContent = !sections.empty();
  file.sections = std::move(sections);
  return file;
}

TEST(ScheduleConfig, SectionsBecomeRecordsAndWhatTheServiceWouldIgnoreIsFound) {
  IniSection lost = section("???", {"Start=1:0800"});
  lost.nameLost = true;
  LoadedSchedule loaded = loadSchedule(
      fileOf({section("Zeta", {"Start=15:0800", "Stop=15:1800", "ForceStart=y", "ForceStop=Y"}),
              section("Alpha", {"forcestart=y", "FORCESTOP=y"}),
              section("Mid", {"Start=1:0800", "Stop=1:0800", "ForceStart=yes"}),
              section("A", {"Start=3:1200,4:1200", "Stopp=1:0800", "start=2:0800"}),
              section("qvn", {"Stop=0123456:0000"}), lost,
              section("B", {"Stop=1:0800;1:2400", "ForceStart=y"}),
              section("a", {"Start=1:0900"})}),
      "Qvn");
  Lines records;
  for (const ServiceRecord &r : loaded.records) {
    records.push_back(r.name + (r.forceStart ? " ForceStart" : "") +
                      (r.forceStop ? " ForceStop" : ""));
    for (const std::string &line : pointLines(r))
      records.push_back(line);
  }
  // Never the scheduler's own section; a start and a stop at one minute: the stop comes after.
  EXPECT_EQ(records, (Lines{"Zeta ForceStart", "Start at 1920", "Stop at 2520", "Start at 7680",
                            "Stop at 8280", "Alpha ForceStart ForceStop", "Mid", "Start at 1920",
                            "Stop at 1920", "A", "Start at 5040", "B ForceStart", "Stop at 1920"}));
  EXPECT_EQ(loaded.points(), 8u);
  EXPECT_TRUE(loaded.usable);
  // Disabled: a start point, no point, ForceStart are started; a stop point alone is not.
  checkStartTypes(loaded, [](const std::string &name) { return name != "Zeta"; });
  Lines found;
  for (const ScheduleFinding &f : loaded.findings)
    found.push_back(f.logLine);
  EXPECT_EQ(
      found,
      (Lines{"ForceStop=y of service Alpha never acts: it has no stop point",
             "Ignoring unknown key Stopp of service A", "Ignoring repeated key start of service A",
             "Ignoring text ,4:1200 of schedule entry 3:1200,4:1200 of service A",
             "Ignoring schedule section qvn: the scheduler never starts or stops itself",
             "Ignoring schedule section ???: its name does not survive the system code page",
             "Ignoring schedule entry 1:2400 of service B",
             "ForceStart=y of service B never acts: it has no start point",
             "Ignoring repeated schedule section a",
             "Service Alpha is disabled: Windows will not start it",
             "Service Mid is disabled: Windows will not start it",
             "Service A is disabled: Windows will not start it",
             "Service B is disabled: Windows will not start it"}));
}

// [Qvn] gives every service's holidays and nothing else; a section adds its own and names the day
// a holiday runs as.
TEST(ScheduleConfig, HolidaysOfEveryServiceAndOfOneAndTheDayTheyRunAs) {
  LoadedSchedule loaded = loadSchedule(
      fileOf({section("A", {"HolidayAs=3", "Holidays=2027-01-06"}), section("B", {"HolidayAs=-"}),
              section("C", {"HolidayAs=7", "Holidays=2027-02-30"}),
              section("qvn", {"holidays=12-24; 13-01"}), section("QVN", {"Holidays=12-25"})}),
      "Qvn");
  std::string found;
  for (const ServiceRecord &r : loaded.records)
    found +=
        r.name + std::to_string(r.holidays.size()) + (r.holidayAs ? char('0' + *r.holidayAs) : '-');
  for (const ScheduleFinding &f : loaded.findings)
    found += "; " + f.logLine;
  EXPECT_EQ(found, "A23B1-C10; Ignoring holiday 13-01 of [qvn]: no such day; Ignoring holiday "
                   "2027-02-30 of service C: no such day; Ignoring HolidayAs=7 of service C: not "
                   "a weekday 0-6 or -; Ignoring schedule section QVN: the scheduler never starts "
                   "or stops itself");
}

// Text the profile functions see no section in (UTF-16 without its mark) is not an empty
// schedule, a file of comments only is; what each is called is shown by -test's own tests.
TEST(ScheduleConfig, AFileThatCannotBeReadIsNotAnEmptySchedule) {
  IniFile file = fileOf({}, IniFile::State::Unreadable);
  EXPECT_FALSE(loadSchedule(file, "Qvn").usable);
  file.state = IniFile::State::Read;
  file.hasContent = true;
  EXPECT_FALSE(loadSchedule(file, "Qvn").usable);
  file.hasContent = false;
  EXPECT_TRUE(loadSchedule(file, "Qvn").usable && loadSchedule(file, "Qvn").findings.empty());
  file.utf8Mark = true; // read, but said
  EXPECT_TRUE(loadSchedule(file, "Qvn").usable && loadSchedule(file, "Qvn").findings.size() == 1);
  // A line the profile functions skip, above the first section.
  file = fileOf({section("E1", {})});
  file.lineBeforeSections = 2;
  file.textBeforeSections = "Start=0:0000";
  EXPECT_EQ(loadSchedule(file, "Qvn").findings.at(0).logLine,
            "Schedule file C:\\windows\\Qvn.ini: line 2 comes before "
            "the first section and is ignored: Start=0:0000");
  EXPECT_TRUE(loadSchedule(fileOf({}, IniFile::State::Missing), "Qvn").usable);
}

TEST(IniFile, BytesTellAMarkAndWhetherAnyLineCountsAndKeysAreRead) {
  // A UTF-8 mark, whether a line other than blanks and comments is held, in UTF-8 and UTF-16,
  // and the first such line, with its number, when it is not a section's.
  const std::tuple<std::string, bool, bool, int, std::string> rows[] = {
      {"; only a comment\r\n\r\n  \t\r\n", false, false, 0, ""},
      {"\xEF\xBB\xBF[Spooler]\r\n", true, true, 0, ""},
      {std::string("\xFF\xFE;\0 \0c\0\r\0\n\0", 12), false, false, 0, ""},
      {std::string("\xFF\xFE[\0S\0]\0", 8), false, true, 0, ""},
      {std::string("[\0S\0]\0", 6), false, true, 0, ""},
      {"; c\r\n\r\n Start=0:0000 \r\n[E1]\r\n", false, true, 3, "Start=0:0000"},
      {"\n\rx\n[E1]", false, true, 3, "x"},
      {"  [E1]\r\nStart=0:0000\r\n", false, true, 0, ""}};
  for (const auto &[bytes, mark, content, line, text] : rows) {
    FileFacts f = fileFacts(bytes);
    EXPECT_EQ(std::make_tuple(f.utf8Mark, f.hasContent, f.lineBeforeSections, f.textBeforeSections),
              std::make_tuple(mark, content, line, text))
        << bytes;
  }
  IniSection s = section("S", {"Start=1:0800", " Stop = \"2:0900\" ", "bare", ";c=1", "", "=x",
                               "start=9", "Q='a'b'", "R='"});
  EXPECT_EQ(s.keys, (Lines{"Start", "Stop", "bare", "start", "Q", "R"}));
  EXPECT_EQ((Lines{s.value("START", ""), s.value("stop", ""), s.value("bare", "default"),
                   s.value("Q", ""), s.value("R", "")}),
            (Lines{"1:0800", "2:0900", "", "a'b", "'"}));
}

// Wide text goes into the system code page with best fit refused, but with no flag at all where
// Windows refuses every other (a name read with a refused flag became "" and was acted on).
TEST(IniFile, ConversionFlagsPerCodePageAndATornReadIsReadAgainThenGivenUp) {
  const std::pair<std::uint32_t, std::uint32_t> pages[] = {
      {1252, 0x400}, {65001, 0}, {42, 0}, {57001, 0x400}, {57002, 0}, {57011, 0}, {57012, 0x400}};
  for (const auto &[codePage, flags] : pages)
    EXPECT_EQ(narrowingFlags(codePage), flags) << codePage;
  // A read is taken only when the file was the same after it as before; else read again, then
  // given up.
  const FileSnapshot file{true, 5, 100, "[S]\r\n"};
  const std::tuple<FileSnapshot, int, ReadOutcome> rows[] = {
      {file, kReadAttempts, ReadOutcome::Take},
      {{true, 0, 100, "[S]\r\n"}, 1, ReadOutcome::ReadAgain},
      {{true, 5, 101, "[S]\r\n"}, 2, ReadOutcome::ReadAgain},
      {{true, 5, 100, "[T]\r\n"}, 1, ReadOutcome::ReadAgain},
      {{}, 1, ReadOutcome::ReadAgain},
      {{true, 5, 101, "[S]\r\n"}, kReadAttempts, ReadOutcome::GiveUp}};
  for (const auto &[after, attempt, outcome] : rows)
    EXPECT_EQ(afterRead(file, after, attempt), outcome) << attempt << after.bytes;
}

// The chart's day lines, without the ruler and the marker.
Lines days(const char *start, const char *stop) {
  Lines lines = weekChart(load(start, stop), 0), out;
  for (size_t i = 1; i < lines.size(); ++i)
    if (lines[i].find('^') == std::string::npos)
      out.push_back(lines[i].substr(8));
  return out;
}

TEST(WeekChart, HalfHoursShowTheStateThatRulesMostOfThem) {
  const std::string off(48, '.');
  const std::string office = std::string(16, '.') + std::string(20, '#') + std::string(12, '.');
  EXPECT_EQ(days("12345:0800", "12345:1800"),
            (Lines{off, office, office, office, office, office, off}));
  // Saturday 23:59 wraps into Sunday: stopped until then, running after.
  Lines wrap(7, off);
  wrap[0] = std::string(20, '#') + std::string(28, '.');
  EXPECT_EQ(days("6:2359", "0:1000"), wrap);
  // In one half hour: running 08:10-08:20 (10 of 30) shows stopped; 09:00 to 09:20 shows
  // running; 10:15 to 10:30, half of it, shows the later state.
  std::string mixed = off;
  mixed[18] = mixed[20] = mixed[21] = '#';
  EXPECT_EQ(days("1:0810;1:0900;1:1015", "1:0820;1:0920;1:1100")[1], mixed);
  // The ruler, and the marker under today, fit a console.
  Lines lines = weekChart(load("1:0800", "1:1800"), 1440 + 9 * 60 + 41); // Monday 09:41
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0],
            "  Week  0     3     6     9     12    15    18    21      #=running .=stopped");
  EXPECT_EQ(lines[2].substr(0, 8), "  Mon   ");
  EXPECT_EQ(lines[3], std::string(8 + 19, ' ') + "^ now");
}

} // namespace
