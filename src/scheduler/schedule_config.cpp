#include "scheduler/schedule_config.h"

#include "common/text.h"
#include "config/ini_file.h"
#include "scheduler/schedule_parser.h"

#include <algorithm>

namespace {

using Kind = ScheduleFinding::Kind;

const char kHolidays[] = "Holidays", kHolidayAs[] = "HolidayAs";
const char *const kKeys[] = {"Start", "Stop", "ForceStart", "ForceStop", kHolidays, kHolidayAs};

bool knownKey(const std::string &key) {
  return std::any_of(std::begin(kKeys), std::end(kKeys),
                     [&](const char *known) { return sameName(key, known); });
}

void readPoints(const IniSection &section, const char *key, bool wantRunning, ServiceRecord &record,
                std::vector<ScheduleFinding> &findings) {
  for (const TokenFinding &token :
       parseScheduleValue(section.value(key, ""), wantRunning, record.schedule)) {
    if (token.problem)
      findings.push_back({Kind::IgnoredEntry, record.name, token.token, token.problem,
                          "Ignoring schedule entry " + token.token + " of service " + record.name});
    else
      findings.push_back({Kind::IgnoredText, record.name, token.token, token.ignoredText,
                          "Ignoring text " + token.ignoredText + " of schedule entry " +
                              token.token + " of service " + record.name});
  }
}

void readHolidays(const IniSection &section, const std::string &of, std::vector<Holiday> &holidays,
                  std::vector<ScheduleFinding> &findings) {
  std::vector<HolidayProblem> problems;
  parseHolidays(section.value(kHolidays, ""), holidays, problems);
  for (const HolidayProblem &problem : problems)
    findings.push_back({Kind::IgnoredHoliday, section.name, problem.item, problem.why,
                        "Ignoring holiday " + problem.item + " of " + of + ": " + problem.why});
}

// A weekday digit, or "-": holidays do not apply; anything else leaves Sunday.
void readHolidayAs(const IniSection &section, ServiceRecord &record,
                   std::vector<ScheduleFinding> &findings) {
  const std::optional<std::string> as = section.value(kHolidayAs);
  if (!as)
    return;
  if (*as == "-")
    record.holidayAs.reset();
  else if (as->size() == 1 && (*as)[0] >= '0' && (*as)[0] <= '6')
    record.holidayAs = (*as)[0] - '0';
  else
    findings.push_back({Kind::IgnoredHolidayAs, record.name, std::string(kHolidayAs) + "=" + *as,
                        "ignored: not a weekday 0-6 or -",
                        "Ignoring " + std::string(kHolidayAs) + "=" + *as + " of service " +
                            record.name + ": not a weekday 0-6 or -"});
}

void checkKeys(const IniSection &section, std::vector<ScheduleFinding> &findings) {
  std::vector<std::string> seen;
  for (const std::string &key : section.keys) {
    bool repeated = std::any_of(seen.begin(), seen.end(),
                                [&](const std::string &s) { return sameName(s, key); });
    seen.push_back(key);
    if (!knownKey(key))
      findings.push_back({Kind::UnknownKey, section.name, key, "not a key of a schedule",
                          "Ignoring unknown key " + key + " of service " + section.name});
    else if (repeated)
      findings.push_back({Kind::RepeatedKey, section.name, key, "only the first is read",
                          "Ignoring repeated key " + key + " of service " + section.name});
  }
}

// A force flag acts only when the schedule ever wants its state: ForceStop
// needs a stop point; ForceStart a start point, or no point at all.
void checkForce(const ServiceRecord &record, std::vector<ScheduleFinding> &findings) {
  bool starts = false, stops = false;
  for (const ScheduleEntry &entry : record.schedule)
    (entry.wantRunning ? starts : stops) = true;
  const struct {
    bool set, wanted;
    const char *flag, *point;
  } flags[] = {{record.forceStart, starts || !stops, "ForceStart=y", "start"},
               {record.forceStop, stops, "ForceStop=y", "stop"}};
  for (const auto &f : flags)
    if (f.set && !f.wanted)
      findings.push_back({Kind::ForceNeverActs, record.name, f.flag,
                          std::string("never acts: no ") + f.point + " point",
                          std::string(f.flag) + " of service " + record.name +
                              " never acts: it has no " + f.point + " point"});
}

void fileFindings(const IniFile &file, LoadedSchedule &loaded) {
  const std::string name = "Schedule file " + file.path;
  auto add = [&](Kind kind, const std::string &detail, const std::string &line) {
    loaded.findings.push_back({kind, "", file.path, detail, name + line});
  };
  if (file.state == IniFile::State::Missing)
    add(Kind::FileMissing, "not found", " not found: no service is controlled");
  if (file.state == IniFile::State::Unreadable) {
    add(Kind::FileUnreadable, file.whyUnreadable, " cannot be read: " + file.whyUnreadable);
    loaded.usable = false;
  }
  if (file.utf8Mark)
    add(Kind::Utf8Mark, "starts with a UTF-8 byte-order mark",
        " starts with a UTF-8 byte-order mark, which Windows does not read: save it as ANSI or "
        "Unicode");
  if (file.lineBeforeSections > 0 && !file.sections.empty())
    add(Kind::TextBeforeSections, "line " + std::to_string(file.lineBeforeSections),
        ": line " + std::to_string(file.lineBeforeSections) +
            " comes before the first section and is ignored: " + file.textBeforeSections);
  if (file.state == IniFile::State::Read && file.sections.empty() && file.hasContent) {
    add(Kind::FileWithoutSections, "holds text but no section",
        " holds text but no section: save it as ANSI or Unicode");
    loaded.usable = false;
  }
}

} // namespace

std::size_t LoadedSchedule::points() const {
  std::size_t count = 0;
  for (const ServiceRecord &record : records)
    count += record.schedule.size();
  return count;
}

LoadedSchedule loadSchedule(const IniFile &file, const std::string &ownService) {
  LoadedSchedule loaded;
  fileFindings(file, loaded);
  auto &findings = loaded.findings;
  std::vector<Holiday> everyService;
  const IniSection *own = file.section(ownService);
  if (own)
    readHolidays(*own, "[" + own->name + "]", everyService, findings);
  for (const IniSection &section : file.sections) {
    auto skip = [&](Kind kind, const char *why) {
      findings.push_back({kind, section.name, section.name, why,
                          "Ignoring schedule section " + section.name + ": " + why});
    };
    if (section.nameLost) {
      skip(Kind::SectionNameLost, "its name does not survive the system code page");
      continue;
    }
    if (sameName(section.name, ownService)) {
      // Holidays of every service are all it may give, and only once.
      if (&section != own || section.keys.empty() ||
          std::any_of(section.keys.begin(), section.keys.end(),
                      [](const std::string &key) { return !sameName(key, kHolidays); }))
        skip(Kind::OwnSection, "the scheduler never starts or stops itself");
      continue;
    }
    // The profile functions read only the first section of a name.
    if (std::any_of(loaded.records.begin(), loaded.records.end(),
                    [&](const ServiceRecord &r) { return sameName(r.name, section.name); })) {
      findings.push_back({Kind::RepeatedSection, section.name, section.name, "repeated",
                          "Ignoring repeated schedule section " + section.name});
      continue;
    }
    ServiceRecord &record = loaded.records.emplace_back();
    record.name = section.name;
    checkKeys(section, findings);
    // Start points first, so a stop point lands after a start of the same minute.
    readPoints(section, "Start", true, record, findings);
    readPoints(section, "Stop", false, record, findings);
    record.forceStart = isFlagSet(section.value("ForceStart", "n"));
    record.forceStop = isFlagSet(section.value("ForceStop", "n"));
    checkForce(record, findings);
    record.holidays = everyService;
    readHolidays(section, "service " + record.name, record.holidays, findings);
    readHolidayAs(section, record, findings);
  }
  return loaded;
}

void checkStartTypes(LoadedSchedule &loaded,
                     const std::function<bool(const std::string &)> &isDisabled) {
  for (const ServiceRecord &record : loaded.records) {
    if (!record.scheduled) // only held: the schedule does not start it
      continue;
    bool starts = record.forceStart || record.schedule.empty();
    for (const ScheduleEntry &entry : record.schedule)
      starts = starts || entry.wantRunning;
    if (starts && isDisabled(record.name))
      loaded.findings.push_back(
          {Kind::Disabled, record.name, "Service", "disabled: Windows will not start it",
           "Service " + record.name + " is disabled: Windows will not start it"});
  }
}

std::vector<std::string> pointLines(const ServiceRecord &record) {
  std::vector<std::string> lines;
  for (const ScheduleEntry &entry : record.schedule)
    lines.push_back((entry.wantRunning ? "Start at " : "Stop at ") +
                    std::to_string(entry.minuteOfWeek));
  return lines;
}
