#include "scm/service_status.h"

std::uint32_t serviceType(StatusShape shape) {
  return scm::kTypeOwnProcess | (shape.shareProcessBit ? scm::kTypeShareProcess : 0);
}

std::uint32_t acceptedControls(std::uint32_t state, StatusShape shape) {
  bool settling = state == scm::kStateStartPending || state == scm::kStateStopPending ||
                  state == scm::kStateStopped;
  return settling ? 0 : shape.controls;
}

std::uint32_t checkPointAfter(std::uint32_t previousState, std::uint32_t previousCheckPoint,
                              std::uint32_t state) {
  bool pending = state == scm::kStateStartPending || state == scm::kStateStopPending ||
                 state == scm::kStateContinuePending || state == scm::kStatePausePending;
  if (!pending)
    return 0;
  return previousState == state ? previousCheckPoint + 1 : 1;
}

std::optional<StatusShape> narrowerStatus(StatusShape shape) {
  if (shape.shareProcessBit)
    return StatusShape{false, shape.controls};
  if (shape.controls & scm::kAcceptTimeChange)
    return StatusShape{false, shape.controls & ~scm::kAcceptTimeChange};
  return std::nullopt;
}
