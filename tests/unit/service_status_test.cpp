#include "scheduler/scheduler.h"
#include "scm/service_status.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceStatus, WhatTheSchedulersHandlerDoesWithEachControl) {
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

TEST(ServiceStatus, AcceptedControlsCheckPointsAndTheNarrowerStatusSequence) {
  const StatusShape scheduler{true, 0x24B}; // stop, pause/continue, parameters, power, time
  for (std::uint32_t state : {4u, 5u, 6u, 7u})
    EXPECT_EQ(acceptedControls(state, scheduler), 0x24Bu) << state;
  for (std::uint32_t state : {1u, 2u, 3u}) // stopped, starting, stopping
    EXPECT_EQ(acceptedControls(state, scheduler), 0u) << state;
  // A pending state counts up while reported again; a settled one is 0.
  EXPECT_EQ(checkPointAfter(4, 0, 3), 1u);
  EXPECT_EQ(checkPointAfter(3, 1, 3), 2u);
  EXPECT_EQ(checkPointAfter(2, 5, 3), 1u);
  EXPECT_EQ(checkPointAfter(3, 2, 1), 0u);
  EXPECT_EQ(checkPointAfter(6, 1, 7), 0u);

  // Each refusal narrows one step: the type first, keeping the time-change
  // control, then the time-change control; the power event stays throughout.
  struct Step {
    std::uint32_t type, accepted;
  };
  const Step steps[] = {{0x30, 0x24B}, {0x10, 0x24B}, {0x10, 0x4B}};
  std::optional<StatusShape> shape = scheduler;
  for (const Step &step : steps) {
    ASSERT_TRUE(shape);
    EXPECT_EQ(serviceType(*shape), step.type);
    EXPECT_EQ(acceptedControls(4, *shape), step.accepted);
    shape = narrowerStatus(*shape);
  }
  EXPECT_FALSE(shape);
}

} // namespace
