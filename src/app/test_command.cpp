#include "app/test_command.h"

#include "app/schedule_report.h"
#include "common/names.h"
#include "config/ini_reader.h"
#include "install/binary_guard.h"
#include "install/install_files.h"
#include "log/diagnostic_log.h"
#include "scheduler/hold_store.h"
#include "scheduler/system_clock.h"
#include "scm/service_manager_connection.h"

#include <windows.h>

#include <cstdio>

namespace {

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

ServiceFacts serviceFacts(ServiceManagerConnection &scm, const std::string &name) {
  ServiceFacts facts;
  ServiceConfiguration config;
  Result configured = scm.queryConfiguration(name.c_str(), config);
  Expected<std::uint32_t> state = configured ? scm.queryState(name.c_str()) : configured;
  if (state) {
    facts.displayName = config.displayName;
    facts.disabled = config.startType == SERVICE_DISABLED;
    facts.state = *state;
  } else {
    facts.error = state.error();
    facts.errorText = systemText(state.error());
  }
  std::vector<std::string> dependents;
  if (scm.listDependents(name.c_str(), false, dependents))
    facts.dependents = std::move(dependents);
  return facts;
}

// The scheduler's own registration, and whether it runs this program.
std::optional<SchedulerFacts> schedulerFacts(ServiceManagerConnection &scm) {
  ServiceConfiguration config;
  SchedulerFacts facts;
  Result configured = scm.queryConfiguration(kSchedulerService, config);
  Expected<std::uint32_t> state = configured ? scm.queryState(kSchedulerService) : configured;
  if (!state)
    return std::nullopt;
  facts.state = *state;
  std::string expected = "\"" + *currentExecutablePath() + "\" -service";
  facts.binaryPath = config.binaryPath;
  facts.runsThisProgram =
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, config.binaryPath.c_str(), -1,
                     expected.c_str(), -1) == CSTR_EQUAL;
  return facts;
}

} // namespace

bool reportSchedule(const std::optional<std::string> &scheduleFile) {
  ScheduleFacts facts;
  facts.path = schedulePath(scheduleFile);
  facts.named = scheduleFile.has_value();
  IniFile file = *readIniFile(facts.path);
  LoadedSchedule loaded = loadSchedule(file, kSchedulerService);
  attachStoredHolds(loaded);
  ServiceManagerConnection scm; // failures are reported here, not logged
  for (const ServiceRecord &record : loaded.records)
    facts.services[record.name] = serviceFacts(scm, record.name);
  // The file the service reads: it refuses one an ordinary user may change.
  if (lstrcmpiA(facts.path.c_str(), schedulePath(std::nullopt).c_str()) == 0)
    if ((facts.refusal = untrustedPlace({facts.path})))
      facts.refusal->problem = problemShown(*facts.refusal);
  // Read as the service reads it: in the hour after the clock went back, at
  // the minute it showed before.
  facts.offsetAt = localOffsetMs;
  facts.localNow = latestLocalTime(localOffsetMs, readSystemClock().utcMs);
  facts.scheduler = schedulerFacts(scm);
  TestReport report = buildTestReport(std::move(loaded), facts);
  for (const std::string &line : report.lines)
    std::printf("%s\n", line.c_str());
  return report.problems == 0;
}
