// The system's clock and time-zone rules as the scheduler reads them, and
// the minute of the week a schedule is read at now by a process that has no
// past of its own ("-test").
#pragma once

#include "scheduler/scheduler.h"

#include <cstdint>

// Real time now (UTC) and the tick count.
ClockReading readSystemClock();
// Local time minus UTC at a real instant, by the rules of the system's time
// zone (daylight saving time included); where they cannot be applied, the
// offset in force now.
std::int64_t localOffsetMs(std::int64_t utcMs);
SchedulerClock systemClock();

// The minute of the week the schedule is read at now: the local minute, or,
// in the hour after daylight saving time ended, the minute the clock showed
// before it went back, where the scheduler holds it.
std::int32_t scheduleMinuteNow();
