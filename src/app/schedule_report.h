// The "Qvn -test" report as a value: from the schedule as loaded and what
// the system said about its services and the file, the lines to print and
// the problems among them. Asks the system nothing.
#pragma once

#include "install/change_access.h"
#include "scheduler/schedule_config.h"
#include "scheduler/schedule_time.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// What the service manager said of a section's service.
struct ServiceFacts {
  std::uint32_t error = 0; // why it could not be queried; 0: it was
  std::string errorText;   // the system's message for error
  std::string displayName;
  std::uint32_t state = 0;                            // 1 stopped, 4 running...
  bool disabled = false;                              // its start type: Windows will not start it
  std::optional<std::vector<std::string>> dependents; // none: they could not be listed
};

// The scheduler's own registration.
struct SchedulerFacts {
  std::uint32_t state = 0;
  std::string binaryPath;
  bool runsThisProgram = false;
};

struct ScheduleFacts {
  std::string path;                             // the schedule file, full
  bool named = false;                           // given on the command line: it must be there
  std::optional<Refusal> refusal;               // why the service would not load its own file
  std::int64_t localNow = 0;                    // the local time the service would read
  OffsetAt offsetAt;                            // the local clock's; none: not asked
  std::map<std::string, ServiceFacts> services; // by section name; none: not installed
  std::optional<SchedulerFacts> scheduler;      // none: not installed
};

struct TestReport {
  std::vector<std::string> lines; // each without its line break
  int problems = 0;
};

// Each section with its service, points, week, holidays of the next 30
// days, hold, wanted state, next three changes and problems, then what
// belongs to no section, the scheduler and the count.
TestReport buildTestReport(LoadedSchedule loaded, const ScheduleFacts &facts);
