// "Qvn -test": reads the schedule as the service would and prints, for each
// section, the service it names, its points and week, what it wants now and
// next, and every problem; then the scheduler's own registration. Changes
// nothing and writes nothing to the diagnostic log.
#pragma once

#include <optional>
#include <string>

// scheduleFile: the file to read instead of the Windows directory's
// "Qvn.ini" (relative to the current directory). True when nothing is wrong.
bool reportSchedule(const std::optional<std::string> &scheduleFile);
