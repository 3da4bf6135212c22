// When the scheduler wakes after a check: at the start of the next minute
// that holds a point of any record, or when the cap runs out, if sooner.
#pragma once

#include "scheduler/weekly_schedule.h"

#include <cstdint>
#include <list>

// Milliseconds from now until the next check is due. checkMinute is the
// minute of the week the last check looked at; msSince is the local time
// since that minute began (past 60,000 when the check ran long or the clock
// moved on, below 0 while the clock is behind it after going back). A point
// at checkMinute itself was that check's, and comes again a week later. 0
// when the next point's minute has begun already.
std::uint32_t nextWakeMs(const std::list<ServiceRecord> &records, std::int32_t checkMinute,
                         std::int64_t msSince, std::uint32_t capMs);
