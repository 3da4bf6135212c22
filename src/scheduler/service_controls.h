// How the scheduler service deals with the service manager: what each
// control asks of the service thread, which controls it accepts in a state,
// and what narrower status it reports when the manager refuses one.
#pragma once

#include <cstdint>
#include <optional>

// Controls, power events, accepted-control bits and service types as the
// system numbers them (checked against its headers where both are seen).
namespace scm {
constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kControlPause = 2;
constexpr std::uint32_t kControlContinue = 3;
constexpr std::uint32_t kControlInterrogate = 4;
constexpr std::uint32_t kControlParamChange = 6;
constexpr std::uint32_t kControlPowerEvent = 13;
constexpr std::uint32_t kControlTimeChange = 16;

constexpr std::uint32_t kPowerResumeSuspend = 0x7;    // resumed, a user is present
constexpr std::uint32_t kPowerResumeAutomatic = 0x12; // resumed, always sent

constexpr std::uint32_t kAcceptStop = 0x1;
constexpr std::uint32_t kAcceptPauseContinue = 0x2;
constexpr std::uint32_t kAcceptParamChange = 0x8;
constexpr std::uint32_t kAcceptPowerEvent = 0x40;
constexpr std::uint32_t kAcceptTimeChange = 0x200;

constexpr std::uint32_t kTypeOwnProcess = 0x10;
constexpr std::uint32_t kTypeShareProcess = 0x20;

constexpr std::uint32_t kStateStopped = 1;
constexpr std::uint32_t kStateStopPending = 3;
} // namespace scm

// What the control handler does with a control: record a request for the
// service thread, only wake it so the wait is worked out again (the clock
// changed, the machine resumed), nothing, or refuse it as not handled.
enum class ControlRequest { Stop, Pause, Continue, Reload, Wake, Nothing, Refuse };

ControlRequest controlRequest(std::uint32_t control, std::uint32_t eventType);

// What the status block says about the service beyond its state. Windows
// knows a service in its own process or in a shared one, not both; older
// systems do not know the time-change control.
struct StatusShape {
  bool shareProcessBit = true; // the type names both bits
  bool timeChange = true;      // the time-change control is accepted
  bool operator==(const StatusShape &other) const {
    return shareProcessBit == other.shareProcessBit && timeChange == other.timeChange;
  }
};

std::uint32_t serviceType(StatusShape shape);
// While stopping or stopped nothing is accepted: a pause then would report
// a state the service is not in.
std::uint32_t acceptedControls(std::uint32_t state, StatusShape shape);
// The shape to try next after the manager refused shape as invalid: first
// the own-process type alone, then also without the time-change control;
// none when nothing narrower is left.
std::optional<StatusShape> narrowerStatus(StatusShape shape);
