// A service's record from its start and stop values, as the schedule loader builds it: start
// points first, then stop points.
#pragma once

#include "scheduler/schedule_parser.h"

inline ServiceRecord record(const std::string &name, const char *start = "1:0800",
                            const char *stop = "1:1800", bool forced = false) {
  ServiceRecord r;
  r.name = name;
  parseScheduleValue(start, true, r.schedule);
  parseScheduleValue(stop, false, r.schedule);
  r.forceStart = r.forceStop = forced;
  return r;
}
