// "Qvn -test": reads the schedule as the service would, asks the service
// manager about its services and the scheduler, and prints the report.
// Changes nothing and writes nothing to the diagnostic log.
#pragma once

#include <optional>
#include <string>

// scheduleFile: the file to read instead of the Windows directory's
// "Qvn.ini" (relative to the current directory). True when nothing is wrong.
bool reportSchedule(const std::optional<std::string> &scheduleFile);
