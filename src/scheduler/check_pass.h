// One pass of the scheduler over its records at a given minute of the week:
// which service to start or stop, decided from the schedule, the scheduler's
// own last action and, for enforced schedules, the service's actual state.
#pragma once

#include "common/result.h"
#include "log/log_kind.h"
#include "scheduler/weekly_schedule.h"

#include <cstdint>
#include <functional>
#include <list>
#include <string>

// The effects a pass needs; the service role binds them to the service
// manager and the log, tests to fakes.
struct CheckActions {
  std::function<std::uint32_t(const std::string &)> queryState;
  std::function<Result(const std::string &)> startService;
  std::function<Result(const std::string &)> stopService;
  std::function<void(const std::string &, LogKind)> logLine;
};

// Service states as the service manager numbers them.
constexpr std::uint32_t kStateStopped = 1;
constexpr std::uint32_t kStateRunning = 4;

// Starts or stops each record's service where the schedule wants it and the
// record's last action disagrees, or where a forced schedule finds the
// service settled in the opposite state. lastAction is set whatever the
// result of the start or stop, so a failure is not retried unless forced.
// goOn, when given, is asked before each record: a false answer (a stop or
// pause request) ends the pass there, and the result is then false.
bool checkRecordsAt(std::list<ServiceRecord> &records, std::int32_t minuteOfWeek,
                    const CheckActions &actions, const std::function<bool()> &goOn = nullptr);

// day * 1440 + hour * 60 + minute, day 0 being Sunday.
std::int32_t minuteOfWeek(int weekday, int hour, int minute);
