// "-install" / "-desinstall": the scheduler's own registration as the
// automatic service "Qvn" (with its recovery options and delayed start) and
// as the event source "Quorvane". Each prints its heading, and a failure
// line when its result is false (the reason is in the log).
#pragma once

#include <windows.h>

// Restart 60 s after the first, second and every later failure; the count
// of failures starts again after a day without one. Holds the actions the
// structure points to, so it is neither copied nor moved.
class SchedulerRecovery {
public:
  SchedulerRecovery();
  SchedulerRecovery(const SchedulerRecovery &) = delete;
  SchedulerRecovery &operator=(const SchedulerRecovery &) = delete;

  // For SERVICE_CONFIG_FAILURE_ACTIONS.
  SERVICE_FAILURE_ACTIONSA *info() { return &info_; }

private:
  SC_ACTION actions_[3];
  SERVICE_FAILURE_ACTIONSA info_;
};

// For SERVICE_CONFIG_DELAYED_AUTO_START_INFO: started after the automatic
// services at boot, so the services it controls have started first.
SERVICE_DELAYED_AUTO_START_INFO schedulerDelayedStart();

// False when "Qvn" was not registered, or was but its event source was not
// or it is not running after its start (the registration then stays).
bool installScheduler();
// False when "Qvn" or the event source could not be removed, or "Qvn" did
// not stop within 30 s.
bool uninstallScheduler();
