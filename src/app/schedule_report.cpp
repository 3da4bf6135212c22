#include "app/schedule_report.h"

#include "app/service_wording.h"
#include "common/system_numbers.h"
#include "common/text.h"
#include "scheduler/calendar.h"
#include "scheduler/next_changes.h"
#include "scheduler/scheduler.h"

#include <algorithm>

namespace {

const char *stateName(std::uint32_t state) {
  static const char *const kNames[] = {"stopped", "start pending",    "stop pending",
                                       "running", "continue pending", "pause pending",
                                       "paused"};
  return state >= 1 && state <= 7 ? kNames[state - 1] : "in an unknown state";
}

// A finding about a section, in the words of a report under that section.
std::string findingText(const ScheduleFinding &finding) {
  using Kind = ScheduleFinding::Kind;
  const std::string &subject = finding.subject, &detail = finding.detail;
  switch (finding.kind) {
  case Kind::IgnoredEntry:
    return "Ignored entry \"" + subject + "\": " + detail;
  case Kind::IgnoredText:
    return "Ignored text \"" + detail + "\" after entry \"" +
           subject.substr(0, subject.size() - detail.size()) + "\"";
  case Kind::UnknownKey:
    return "Unknown key \"" + subject + "\": ignored";
  case Kind::RepeatedKey:
    return "Repeated key \"" + subject + "\": only the first is read";
  case Kind::IgnoredHoliday:
    return "Ignored holiday \"" + subject + "\": " + detail;
  default:
    return subject + " " + detail;
  }
}

const char *stateWord(bool running) { return running ? "running" : "stopped"; }

// "Thu 2026-12-24 08:00".
std::string dayAndTime(std::int64_t localMs) {
  return weekdayTime(minuteOfWeekAt(localMs)).substr(0, 4) + localTimeText(localMs);
}

// The holidays among the 30 days from today, a run of days as one range.
std::string holidaysLine(const ServiceRecord &record, std::int64_t localNow) {
  if (!record.holidayAs)
    return "  Holidays: not applied (HolidayAs=-)";
  std::vector<std::string> runs;
  const std::int64_t today = dayOfLocalTime(localNow);
  for (std::int64_t day = today; day < today + 30; ++day) {
    if (!isHoliday(record.holidays, day))
      continue;
    std::int64_t last = day;
    while (last + 1 < today + 30 && isHoliday(record.holidays, last + 1))
      ++last;
    runs.push_back(dateText(civilFromDays(day)) +
                   (last > day ? ".." + dateText(civilFromDays(last)) : ""));
    day = last;
  }
  return "  Holidays in the next 30 days, run as " +
         weekdayTime(*record.holidayAs * kMinutesPerDay).substr(0, 3) + ": " +
         (runs.empty() ? "none" : joined(runs));
}

// A change in the hour the clock skips acts at the jump; one in the hour it
// repeats acts once.
std::string clockNote(const OffsetAt &offsetAt, std::int64_t localMs) {
  if (!offsetAt)
    return "";
  const std::string time = localTimeText(localMs).substr(11);
  LocalTimeFate fate = localTimeFate(offsetAt, localMs);
  if (fate.kind == LocalTimeFate::Kind::Skipped)
    return "; the clock skips " + time + ": acts at " + localTimeText(fate.actsAtMs).substr(11);
  if (fate.kind == LocalTimeFate::Kind::Twice)
    return "; " + time + " comes twice: acts once";
  return "";
}

std::vector<std::string> scheduleLines(const ServiceRecord &record, const ScheduleFacts &facts) {
  static const char *const kCauses[] = {"point", "holiday begins", "holiday ends", "hold ends"};
  const std::int32_t now = minuteOfWeekAt(facts.localNow);
  std::vector<std::string> lines, points;
  // One whose time came ends at the service's next check.
  const std::optional<Hold> &hold = record.hold;
  const bool held = holdInForce(record, facts.localNow);
  const std::string heldLine =
      held ? std::string("  Held: ") + stateWord(hold->wantRunning) + " until " +
                 (hold->untilLocalMs ? dayAndTime(*hold->untilLocalMs) : "released")
           : "";
  if (!record.scheduled) { // the scheduler lets it be once the hold ends
    lines.push_back("  Not in the schedule file: only held, then left as it is");
    if (held)
      lines.push_back(heldLine);
    return lines;
  }
  for (const ScheduleEntry &entry : record.schedule)
    points.push_back(weekdayTime(entry.minuteOfWeek) + (entry.wantRunning ? " start" : " stop"));
  lines.push_back("  Points: " + (points.empty() ? "none" : joined(points)));
  if (nextChange(record.schedule, now)) {
    std::vector<std::string> chart = weekChart(record.schedule, now);
    lines.insert(lines.end(), chart.begin(), chart.end());
  } else {
    lines.push_back(std::string("  Week: wanted ") + stateWord(wantedState(record.schedule, now)) +
                    " all week");
  }
  if (!record.holidays.empty())
    lines.push_back(holidaysLine(record, facts.localNow));
  if (held)
    lines.push_back(heldLine);
  const bool wanted = wantedAt(record, facts.localNow);
  // A year holds every yearly holiday.
  const std::vector<WantedChange> changes = nextChanges(record, facts.localNow, 3, 366 * kMsPerDay);
  if (record.forceStart || record.forceStop)
    lines.push_back(std::string("  Enforced:") + (record.forceStart ? " ForceStart" : "") +
                    (record.forceStop ? " ForceStop" : ""));
  lines.push_back(std::string("  Wanted now: ") + stateWord(wanted) + "; " +
                  (changes.empty()
                       ? "never changes"
                       : "next change " + weekdayTime(minuteOfWeekAt(changes[0].localMs)) +
                             (wanted ? " (stop)" : " (start)")));
  for (const WantedChange &change : changes)
    lines.push_back("  Next change: " + dayAndTime(change.localMs) +
                    (change.wantRunning ? " start (" : " stop (") +
                    kCauses[static_cast<int>(change.cause)] +
                    clockNote(facts.offsetAt, change.localMs) + ")");
  return lines;
}

} // namespace

TestReport buildTestReport(LoadedSchedule loaded, const ScheduleFacts &facts) {
  ServiceFacts notInstalled;
  notInstalled.error = syserr::kServiceDoesNotExist;
  auto factsOf = [&](const std::string &name) -> const ServiceFacts & {
    auto found = facts.services.find(name);
    return found == facts.services.end() ? notInstalled : found->second;
  };
  checkStartTypes(loaded, [&](const std::string &name) { return factsOf(name).disabled; });
  TestReport report;
  auto print = [&report](const std::string &line) { report.lines.push_back(line); };
  auto printFinding = [&](const ScheduleFinding &finding) { print("  " + findingText(finding)); };
  if (std::any_of(loaded.findings.begin(), loaded.findings.end(), [](const ScheduleFinding &f) {
        return f.kind == ScheduleFinding::Kind::FileMissing;
      })) {
    print("Schedule file: " + facts.path + " not found, nothing is scheduled");
    report.problems += facts.named ? 1 : 0; // asked for by name, it must be there
  } else {
    print("Schedule file: " + facts.path);
  }
  if (const std::optional<Refusal> &refusal = facts.refusal) {
    print("Problem: " + refusal->problem +
          (refusal->complete ? "" : ": the service does not load it"));
    if (!refusal->fix.empty())
      print("Fix: " + refusal->fix);
    ++report.problems;
  }
  for (const ServiceRecord &record : loaded.records) {
    print("[" + record.name + "]");
    const ServiceFacts &service = factsOf(record.name);
    if (service.error) {
      print("  Service: " + queryFailureText(service.error, service.errorText));
      ++report.problems;
    } else {
      print("  Service: " + service.displayName + ", " + stateName(service.state));
    }
    for (const std::string &line : scheduleLines(record, facts))
      print(line);
    // Windows refuses a stop while a dependent runs: those it leaves running.
    if (service.dependents) {
      std::string text = unstoppedDependentsText(record, *service.dependents, loaded.records);
      if (!text.empty()) {
        print("  " + text);
        ++report.problems;
      }
    }
    for (const ScheduleFinding &finding : loaded.findings)
      if (finding.section == record.name &&
          finding.kind != ScheduleFinding::Kind::RepeatedSection) {
        printFinding(finding);
        ++report.problems;
      }
  }
  // What belongs to no record: the file itself, and sections not used.
  for (const ScheduleFinding &finding : loaded.findings) {
    bool shown = false;
    for (const ServiceRecord &record : loaded.records)
      shown = shown || (finding.section == record.name &&
                        finding.kind != ScheduleFinding::Kind::RepeatedSection);
    if (!shown && finding.isProblem()) {
      print("Problem: " + finding.logLine);
      ++report.problems;
    }
  }
  if (const std::optional<SchedulerFacts> &scheduler = facts.scheduler)
    print(std::string("Scheduler: \"Qvn\" is installed, ") + stateName(scheduler->state) +
          ", and runs " + (scheduler->runsThisProgram ? "this Qvn.exe" : scheduler->binaryPath));
  else
    print("Scheduler: \"Qvn\" is not installed");
  print(std::to_string(loaded.records.size()) + " service(s), " + std::to_string(report.problems) +
        " problem(s)");
  return report;
}
