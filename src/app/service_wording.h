// How the -test report words what it finds out about a section's service:
// why it could not be queried, and which of its dependents the schedule
// leaves running when it is to stop.
#pragma once

#include "scheduler/weekly_schedule.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

// The text after "Service: " for a query that failed with error;
// systemText is the system's message for it, without its line break.
std::string queryFailureText(std::uint32_t error, const std::string &systemText);

// The dependents (key names) of section's service that the schedule does
// not also want stopped at each of section's stop points: Windows refuses
// to stop a service while any of its dependents runs. Empty for a section
// without stop points.
std::vector<std::string> unstoppedDependents(const ServiceRecord &section,
                                             const std::vector<std::string> &dependents,
                                             const std::list<ServiceRecord> &records);
// The report's line for them, without indentation; empty when there are none.
std::string unstoppedDependentsText(const ServiceRecord &section,
                                    const std::vector<std::string> &dependents,
                                    const std::list<ServiceRecord> &records);
