// Loading the schedule file "Qvn.ini" into service records, one per service
// in file order, and saying what was loaded and what was not.
#pragma once

#include "scheduler/weekly_schedule.h"

#include <functional>
#include <list>
#include <string>

// Appends one record per section of fileName and passes every line worth
// telling to logLine: the loaded entries, each token not taken, each
// repeated section (only its first is used) and a missing file. A bare
// name is looked up in the Windows directory, as the profile functions do;
// a name with a directory part is used as it is.
void loadScheduleFile(const char *fileName, std::list<ServiceRecord> &records,
                      const std::function<void(const std::string &)> &logLine);
