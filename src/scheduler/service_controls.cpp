#include "scheduler/service_controls.h"

ControlRequest controlRequest(std::uint32_t control, std::uint32_t eventType) {
  switch (control) {
  case scm::kControlStop:
    return ControlRequest::Stop;
  case scm::kControlPause:
    return ControlRequest::Pause;
  case scm::kControlContinue:
    return ControlRequest::Continue;
  case scm::kControlParamChange:
    return ControlRequest::Reload;
  case scm::kControlTimeChange:
    return ControlRequest::Wake;
  case scm::kControlPowerEvent:
    // A wait does not count time asleep: after a resume a point may have
    // passed. Every other power event is taken silently.
    return eventType == scm::kPowerResumeAutomatic || eventType == scm::kPowerResumeSuspend
               ? ControlRequest::Wake
               : ControlRequest::Nothing;
  case scm::kControlInterrogate:
    return ControlRequest::Nothing;
  default:
    return ControlRequest::Refuse;
  }
}

std::uint32_t serviceType(StatusShape shape) {
  return scm::kTypeOwnProcess | (shape.shareProcessBit ? scm::kTypeShareProcess : 0);
}

std::uint32_t acceptedControls(std::uint32_t state, StatusShape shape) {
  if (state == scm::kStateStopPending || state == scm::kStateStopped)
    return 0;
  return scm::kAcceptStop | scm::kAcceptPauseContinue | scm::kAcceptParamChange |
         scm::kAcceptPowerEvent | (shape.timeChange ? scm::kAcceptTimeChange : 0);
}

std::optional<StatusShape> narrowerStatus(StatusShape shape) {
  if (shape.shareProcessBit)
    return StatusShape{false, shape.timeChange};
  if (shape.timeChange)
    return StatusShape{false, false};
  return std::nullopt;
}
