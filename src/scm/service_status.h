// What our services (the scheduler and srvany.exe) report to the service
// manager, one rule for both: the controls accepted in a state, how check
// points count, and the narrower status tried when the manager refuses one.
#pragma once

#include "common/system_numbers.h"

#include <cstdint>
#include <optional>

// What the status block says about a service beyond its state: its type
// (Windows knows a service in its own process or in a shared one, not both)
// and the controls it takes once running (older systems do not know the
// time-change control).
struct StatusShape {
  bool shareProcessBit = false;
  std::uint32_t controls = 0;
  bool operator==(const StatusShape &other) const {
    return shareProcessBit == other.shareProcessBit && controls == other.controls;
  }
};

std::uint32_t serviceType(StatusShape shape);
// Nothing while starting, stopping or stopped: a control then would find a
// service in no state to take it; the shape's controls otherwise.
std::uint32_t acceptedControls(std::uint32_t state, StatusShape shape);
// The check point of a report: counting up while a pending state is
// reported again, 1 when it begins, 0 for a settled state.
std::uint32_t checkPointAfter(std::uint32_t previousState, std::uint32_t previousCheckPoint,
                              std::uint32_t state);
// The shape to try next after the manager refused shape as invalid: first
// the own-process type alone, then also without the time-change control;
// none when nothing narrower is left.
std::optional<StatusShape> narrowerStatus(StatusShape shape);
