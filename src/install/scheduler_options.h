// What "-install" asks of "Qvn" beyond its registration, as the structures
// ChangeServiceConfig2A takes: recovery after a crash, and the delayed
// automatic start at boot.
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
