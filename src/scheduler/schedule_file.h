// Loading the schedule file "Qvn.ini" into service records, one per section
// in file order, and logging every loaded entry and every token not taken.
#pragma once

#include "scheduler/weekly_schedule.h"

#include <list>

// The process-wide records, empty until the service loads the file.
extern std::list<ServiceRecord> g_serviceRecords;

// Appends one record per section of fileName (a bare name is looked up in
// the Windows directory); a missing file adds nothing.
void loadScheduleFile(const char *fileName, std::list<ServiceRecord> &records);
// loadScheduleFile("Qvn.ini", g_serviceRecords)
void loadScheduleFile();
