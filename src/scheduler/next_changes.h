// The next changes of the state a record's service is wanted in, from a
// local time on: when each comes, to which state and why. What "Qvn -test"
// shows, and what the scheduler wakes for on a holiday.
#pragma once

#include "scheduler/weekly_schedule.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ChangeCause { Point, HolidayBegins, HolidayEnds, HoldEnds };

struct WantedChange {
  std::int64_t localMs = 0; // the minute it comes, on the local clock
  bool wantRunning = false;
  ChangeCause cause = ChangeCause::Point;
};

// The first count changes after fromLocalMs and before fromLocalMs +
// withinMs, in order; a point at the minute of fromLocalMs is not one. A
// hold rules until its time (a hold without one: no change at all), then
// the schedule, read on a holiday at the minute of its HolidayAs day.
std::vector<WantedChange> nextChanges(const ServiceRecord &record, std::int64_t fromLocalMs,
                                      std::size_t count, std::int64_t withinMs);
