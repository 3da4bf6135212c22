// What our services (the scheduler and srvany.exe) report to the service
// manager, one rule for both: the controls accepted in a state, how check
// points count, and the narrower status tried when the manager refuses one.
#pragma once

#include <cstdint>
#include <optional>

// Controls, power events, accepted-control bits, service types and states
// as the system numbers them (checked against its headers where both are seen).
namespace scm {
constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kControlPause = 2;
constexpr std::uint32_t kControlContinue = 3;
constexpr std::uint32_t kControlInterrogate = 4;
constexpr std::uint32_t kControlShutdown = 5;
constexpr std::uint32_t kControlParamChange = 6;
constexpr std::uint32_t kControlPowerEvent = 13;
constexpr std::uint32_t kControlTimeChange = 16;

constexpr std::uint32_t kPowerResumeSuspend = 0x7;    // resumed, a user is present
constexpr std::uint32_t kPowerResumeAutomatic = 0x12; // resumed, always sent

constexpr std::uint32_t kAcceptStop = 0x1;
constexpr std::uint32_t kAcceptPauseContinue = 0x2;
constexpr std::uint32_t kAcceptShutdown = 0x4;
constexpr std::uint32_t kAcceptParamChange = 0x8;
constexpr std::uint32_t kAcceptPowerEvent = 0x40;
constexpr std::uint32_t kAcceptTimeChange = 0x200;

constexpr std::uint32_t kTypeOwnProcess = 0x10;
constexpr std::uint32_t kTypeShareProcess = 0x20;

constexpr std::uint32_t kStateStopped = 1;
constexpr std::uint32_t kStateStartPending = 2;
constexpr std::uint32_t kStateStopPending = 3;
constexpr std::uint32_t kStateRunning = 4;
constexpr std::uint32_t kStateContinuePending = 5;
constexpr std::uint32_t kStatePausePending = 6;
constexpr std::uint32_t kStatePaused = 7;
} // namespace scm

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
