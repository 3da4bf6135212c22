#include "app/schedule_report.h"

#include "app/service_wording.h"
#include "common/names.h"
#include "common/text.h"
#include "config/ini_reader.h"
#include "install/binary_guard.h"
#include "install/install_files.h"
#include "log/diagnostic_log.h"
#include "scheduler/schedule_config.h"
#include "scheduler/system_clock.h"
#include "scm/service_manager_connection.h"

#include <windows.h>

#include <cstdio>
#include <list>
#include <vector>

namespace {

const char *stateName(std::uint32_t state) {
  static const char *const kNames[] = {"stopped", "start pending",    "stop pending",
                                       "running", "continue pending", "pause pending",
                                       "paused"};
  return state >= 1 && state <= 7 ? kNames[state - 1] : "in an unknown state";
}

// The full path of the schedule file: the given one against the current
// directory, else "Qvn.ini" in the Windows directory.
std::string schedulePath(const std::optional<std::string> &given) {
  char buffer[MAX_PATH * 4] = "";
  if (!given) {
    UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, n < MAX_PATH ? n : 0) + "\\" + kScheduleFile;
  }
  DWORD n = GetFullPathNameA(given->c_str(), sizeof(buffer), buffer, nullptr);
  return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : *given;
}

// Whether Windows refuses to start the service: its start type is disabled.
bool startsDisabled(ServiceManagerConnection &scm, const std::string &name) {
  ServiceConfiguration config;
  return scm.queryConfiguration(name.c_str(), config) && config.startType == SERVICE_DISABLED;
}

// Describes the service a section names; false when it is not there.
bool printService(ServiceManagerConnection &scm, const std::string &name) {
  ServiceConfiguration config;
  Result configured = scm.queryConfiguration(name.c_str(), config);
  Expected<std::uint32_t> state = configured ? scm.queryState(name.c_str()) : configured;
  if (!state) {
    std::printf("  Service: %s\n",
                queryFailureText(state.error(), systemText(state.error())).c_str());
    return false;
  }
  std::printf("  Service: %s, %s\n", config.displayName.c_str(), stateName(*state));
  return true;
}

void printSchedule(const ServiceRecord &record, std::int32_t now) {
  std::vector<std::string> points;
  for (const ScheduleEntry &entry : record.schedule)
    points.push_back(weekdayTime(entry.minuteOfWeek) + (entry.wantRunning ? " start" : " stop"));
  std::printf("  Points: %s\n", points.empty() ? "none" : joined(points).c_str());
  if (nextChange(record.schedule, now))
    for (const std::string &line : weekChart(record.schedule, now))
      std::printf("%s\n", line.c_str());
  else
    std::printf("  Week: wanted %s all week\n",
                wantedState(record.schedule, now) ? "running" : "stopped");
  if (record.forceStart || record.forceStop)
    std::printf("  Enforced:%s%s\n", record.forceStart ? " ForceStart" : "",
                record.forceStop ? " ForceStop" : "");
  bool wanted = wantedState(record.schedule, now);
  std::optional<std::int32_t> next = nextChange(record.schedule, now);
  std::printf(
      "  Wanted now: %s; %s\n", wanted ? "running" : "stopped",
      next ? ("next change " + weekdayTime(*next) + (wanted ? " (stop)" : " (start)")).c_str()
           : "never changes");
}

// The scheduler's own registration, and whether it runs this program.
void printScheduler(ServiceManagerConnection &scm) {
  ServiceConfiguration config;
  Result configured = scm.queryConfiguration(kSchedulerService, config);
  Expected<std::uint32_t> state = configured ? scm.queryState(kSchedulerService) : configured;
  if (!state) {
    std::printf("Scheduler: \"Qvn\" is not installed\n");
    return;
  }
  std::string expected = "\"" + *currentExecutablePath() + "\" -service";
  bool ours = CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, config.binaryPath.c_str(), -1,
                             expected.c_str(), -1) == CSTR_EQUAL;
  std::printf("Scheduler: \"Qvn\" is installed, %s, and runs %s\n", stateName(*state),
              ours ? "this Qvn.exe" : config.binaryPath.c_str());
}

// A finding about a section, in the words of a report under that section.
void printFinding(const ScheduleFinding &finding) {
  using Kind = ScheduleFinding::Kind;
  const char *subject = finding.subject.c_str(), *detail = finding.detail.c_str();
  switch (finding.kind) {
  case Kind::IgnoredEntry:
    std::printf("  Ignored entry \"%s\": %s\n", subject, detail);
    break;
  case Kind::IgnoredText: {
    std::string taken = finding.subject.substr(0, finding.subject.size() - finding.detail.size());
    std::printf("  Ignored text \"%s\" after entry \"%s\"\n", detail, taken.c_str());
    break;
  }
  case Kind::UnknownKey:
    std::printf("  Unknown key \"%s\": ignored\n", subject);
    break;
  case Kind::RepeatedKey:
    std::printf("  Repeated key \"%s\": only the first is read\n", subject);
    break;
  default:
    std::printf("  %s %s\n", subject, detail);
    break;
  }
}

} // namespace

bool reportSchedule(const std::optional<std::string> &scheduleFile) {
  const std::string path = schedulePath(scheduleFile);
  IniFile file = *readIniFile(path);
  LoadedSchedule loaded = loadSchedule(file, kSchedulerService);
  ServiceManagerConnection scm; // failures are reported here, not logged
  checkStartTypes(loaded, [&](const std::string &name) { return startsDisabled(scm, name); });
  int problems = 0;
  if (file.state == IniFile::State::Missing) {
    std::printf("Schedule file: %s not found, nothing is scheduled\n", path.c_str());
    problems += scheduleFile ? 1 : 0; // asked for by name, it must be there
  } else {
    std::printf("Schedule file: %s\n", path.c_str());
  }
  // The file the service reads: it refuses one an ordinary user may change.
  std::optional<Refusal> refusal;
  if (lstrcmpiA(path.c_str(), schedulePath(std::nullopt).c_str()) == 0 &&
      (refusal = untrustedPlace({path}))) {
    std::printf("Problem: %s%s\n", problemShown(*refusal).c_str(),
                refusal->complete ? "" : ": the service does not load it");
    if (!refusal->fix.empty())
      std::printf("Fix: %s\n", refusal->fix.c_str());
    ++problems;
  }
  // Read as the service reads it: in the hour after the clock went back, at
  // the minute it showed before.
  const std::int32_t now = scheduleMinuteNow();
  for (const ServiceRecord &record : loaded.records) {
    std::printf("[%s]\n", record.name.c_str());
    problems += printService(scm, record.name) ? 0 : 1;
    printSchedule(record, now);
    // Windows refuses a stop while a dependent runs: those it leaves running.
    std::vector<std::string> dependents;
    if (scm.listDependents(record.name.c_str(), false, dependents)) {
      std::string text = unstoppedDependentsText(record, dependents, loaded.records);
      if (!text.empty()) {
        std::printf("  %s\n", text.c_str());
        ++problems;
      }
    }
    for (const ScheduleFinding &finding : loaded.findings)
      if (finding.section == record.name &&
          finding.kind != ScheduleFinding::Kind::RepeatedSection) {
        printFinding(finding);
        ++problems;
      }
  }
  // What belongs to no record: the file itself, and sections not used.
  for (const ScheduleFinding &finding : loaded.findings) {
    bool shown = false;
    for (const ServiceRecord &record : loaded.records)
      shown = shown || (finding.section == record.name &&
                        finding.kind != ScheduleFinding::Kind::RepeatedSection);
    if (!shown && finding.isProblem()) {
      std::printf("Problem: %s\n", finding.logLine.c_str());
      ++problems;
    }
  }
  printScheduler(scm);
  std::printf("%u service(s), %d problem(s)\n", static_cast<unsigned>(loaded.records.size()),
              problems);
  return problems == 0;
}
