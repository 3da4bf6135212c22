#include "scheduler/service_controls.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceControls, WhatTheHandlerDoesWithEachControl) {
  struct Row {
    std::uint32_t control, eventType;
    ControlRequest request;
  };
  const Row rows[] = {
      {1, 0, ControlRequest::Stop},
      {2, 0, ControlRequest::Pause},
      {3, 0, ControlRequest::Continue},
      {4, 0, ControlRequest::Nothing}, // interrogate
      {6, 0, ControlRequest::Reload},  // parameter change
      {16, 0, ControlRequest::Wake},   // time change
      // Power events: a resume works the wait out again, any other is taken silently.
      {13, 0x12, ControlRequest::Wake},   // resume automatic
      {13, 0x7, ControlRequest::Wake},    // resume suspend
      {13, 0x4, ControlRequest::Nothing}, // suspend
      {13, 0xA, ControlRequest::Nothing}, // power status change
      {13, 0x8013, ControlRequest::Nothing},
      // Not handled: refused (user-defined 128-255 and any other).
      {5, 0, ControlRequest::Refuse},
      {128, 0, ControlRequest::Refuse},
      {200, 0, ControlRequest::Refuse},
      {255, 0, ControlRequest::Refuse},
  };
  for (const Row &row : rows)
    EXPECT_EQ(controlRequest(row.control, row.eventType), row.request)
        << row.control << "/" << row.eventType;
}

TEST(ServiceControls, AcceptedControlsAndTheNarrowerStatusSequence) {
  const StatusShape full;
  // Stop, pause/continue, parameter change, power event, time change.
  for (std::uint32_t state : {2u, 4u, 5u, 6u, 7u})
    EXPECT_EQ(acceptedControls(state, full), 0x24Bu) << state;
  EXPECT_EQ(acceptedControls(3, full), 0u);
  EXPECT_EQ(acceptedControls(1, full), 0u);

  // Each refusal narrows one step: the type first, keeping the time-change
  // control, then the time-change control; the power event stays throughout.
  struct Step {
    std::uint32_t type, accepted;
  };
  const Step steps[] = {{0x30, 0x24B}, {0x10, 0x24B}, {0x10, 0x4B}};
  std::optional<StatusShape> shape = full;
  for (const Step &step : steps) {
    ASSERT_TRUE(shape);
    EXPECT_EQ(serviceType(*shape), step.type);
    EXPECT_EQ(acceptedControls(4, *shape), step.accepted);
    shape = narrowerStatus(*shape);
  }
  EXPECT_FALSE(shape);
}

} // namespace
