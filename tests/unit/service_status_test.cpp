// The status a service reports: the controls it accepts in each state, its check points, and
// the narrower status tried when the service manager refuses one.
#include "scm/service_status.h"

#include <gtest/gtest.h>

TEST(ServiceStatus, AcceptedControlsCheckPointsAndTheNarrowerStatusSequence) {
  const std::uint32_t all = scm::kAcceptStop | scm::kAcceptPowerEvent | scm::kAcceptTimeChange;
  const StatusShape scheduler{true, all};
  // Every control once running, continuing, pausing or paused; none stopped, starting, stopping.
  for (std::uint32_t state = 1; state <= 7; ++state)
    EXPECT_EQ(acceptedControls(state, scheduler), state >= 4 ? all : 0u) << state;
  // A pending state counts up while reported again; a settled one is 0.
  EXPECT_EQ((std::vector<std::uint32_t>{checkPointAfter(4, 0, 3), checkPointAfter(3, 1, 3),
                                        checkPointAfter(2, 5, 3), checkPointAfter(3, 2, 1),
                                        checkPointAfter(6, 1, 7)}),
            (std::vector<std::uint32_t>{1, 2, 1, 0, 0}));
  // Each refusal narrows one step: the type first, keeping the time-change control, then the
  // time-change control; the power event stays throughout.
  const std::pair<std::uint32_t, std::uint32_t> steps[] = {
      {0x30, all}, {0x10, all}, {0x10, all & ~scm::kAcceptTimeChange}};
  std::optional<StatusShape> shape = scheduler;
  for (const auto &[type, accepted] : steps) {
    ASSERT_TRUE(shape);
    EXPECT_EQ(serviceType(*shape), type);
    EXPECT_EQ(acceptedControls(4, *shape), accepted);
    shape = narrowerStatus(*shape);
  }
  EXPECT_FALSE(shape);
}
