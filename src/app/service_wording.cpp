#include "app/service_wording.h"

#include "common/system_numbers.h"
#include "common/text.h"

std::string queryFailureText(std::uint32_t error, const std::string &systemText) {
  if (error == syserr::kServiceDoesNotExist)
    return "not installed";
  if (error == syserr::kAccessDenied)
    return "access denied: run from an elevated prompt to see it";
  return "cannot be queried: " + systemText;
}

namespace {

const ServiceRecord *sectionOf(const std::string &service,
                               const std::list<ServiceRecord> &records) {
  for (const ServiceRecord &record : records)
    if (sameServiceName(record.name, service))
      return &record;
  return nullptr;
}

// True when other wants its service stopped at every stop point of section.
bool stoppedAtEachStop(const ServiceRecord &section, const ServiceRecord *other) {
  if (!other)
    return false;
  for (const ScheduleEntry &entry : section.schedule)
    if (!entry.wantRunning && wantedState(other->schedule, entry.minuteOfWeek))
      return false;
  return true;
}

} // namespace

std::vector<std::string> unstoppedDependents(const ServiceRecord &section,
                                             const std::vector<std::string> &dependents,
                                             const std::list<ServiceRecord> &records) {
  std::vector<std::string> left;
  bool stops = false;
  for (const ScheduleEntry &entry : section.schedule)
    stops = stops || !entry.wantRunning;
  if (!stops)
    return left;
  for (const std::string &dependent : dependents)
    if (!stoppedAtEachStop(section, sectionOf(dependent, records)))
      left.push_back(dependent);
  return left;
}

std::string unstoppedDependentsText(const ServiceRecord &section,
                                    const std::vector<std::string> &dependents,
                                    const std::list<ServiceRecord> &records) {
  std::string names = joined(unstoppedDependents(section, dependents, records));
  return names.empty() ? std::string()
                       : "Dependents not stopped by the schedule: " + names +
                             " (Windows refuses to stop the service while they run)";
}
