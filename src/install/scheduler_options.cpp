#include "install/scheduler_options.h"

namespace {

constexpr DWORD kRestartDelayMs = 60000;
constexpr DWORD kResetPeriodSeconds = 24 * 60 * 60;

} // namespace

SchedulerRecovery::SchedulerRecovery() : info_{} {
  for (SC_ACTION &action : actions_)
    action = {SC_ACTION_RESTART, kRestartDelayMs};
  info_.dwResetPeriod = kResetPeriodSeconds;
  // The last action also stands for every later failure.
  info_.cActions = sizeof actions_ / sizeof actions_[0];
  info_.lpsaActions = actions_;
}

SERVICE_DELAYED_AUTO_START_INFO schedulerDelayedStart() { return {TRUE}; }
