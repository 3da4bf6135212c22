#include "install/scheduler_registration.h"

#include "common/names.h"
#include "install/binary_guard.h"
#include "install/install_files.h"
#include "log/diagnostic_log.h"
#include "log/event_log.h"
#include "scm/service_manager_connection.h"

#include <windows.h>

#include <cstdio>
#include <string>

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

namespace {

// Registers the running program; answers its full path.
Expected<std::string> registerScheduler(ServiceManagerConnection &connection) {
  // The running program's own path, not the name it was typed as: started
  // through PATH or without ".exe", that name does not lead back to it.
  Expected<std::string> path = currentExecutablePath();
  if (!path)
    return path;
  // Quoted so that a directory with blanks is not split by the manager.
  std::string binaryPath = "\"" + *path + "\" -service";
  Result created =
      connection.createService(kSchedulerService, kSchedulerService, binaryPath.c_str(),
                               "Run services at desired time", true);
  return created ? path : created;
}

// The service runs as LocalSystem: no ordinary user may replace Qvn.exe,
// put files beside it or a folder of their own in the place of one above
// it. A path the system cannot give fails the registration, which says so.
bool runsFromATrustedPlace() {
  Expected<std::string> path = currentExecutablePath();
  return !path || onlyTrustedCanChange({*path}, "Quorvane service not installed", "");
}

// Recovery and boot order: the scheduler runs without them, so a failure
// is logged and the installation stands. A system that does not know one
// says so in one line.
void configureScheduler(ServiceManagerConnection &connection) {
  auto set = [&](DWORD level, void *info, const char *unknownLine) {
    Result result = connection.changeConfiguration(kSchedulerService, level, info);
    g_log.writeFailure(result);
    if (result.failedWith(ERROR_INVALID_LEVEL) || result.failedWith(ERROR_INVALID_PARAMETER))
      g_log.writeLine(unknownLine);
  };
  SchedulerRecovery recovery;
  set(SERVICE_CONFIG_FAILURE_ACTIONS, recovery.info(),
      "Recovery options not known to this system: Qvn is not restarted after a failure");
  SERVICE_DELAYED_AUTO_START_INFO delayed = schedulerDelayedStart();
  set(SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed,
      "Delayed automatic start not known to this system: Qvn starts with the other automatic"
      " services");
}

} // namespace

bool installScheduler() {
  std::printf("Installing Quorvane service...\n");
  if (!runsFromATrustedPlace())
    return false;
  ServiceManagerConnection connection;
  Expected<std::string> path = registerScheduler(connection);
  if (!path) {
    g_log.writeFailure(path.result());
    std::printf("Unable to install Quorvane service, %s\n", g_log.seeLog().c_str());
    return false;
  }
  configureScheduler(connection);
  // After the service, so that a refused second install changes nothing.
  // Event Viewer looks the source up when it shows an event: the service's
  // first events find their text all the same.
  bool installed = true;
  if (Result registered = registerEventSource(*path); !registered) {
    g_log.writeFailure(registered);
    std::printf("Quorvane event source not registered, %s\n", g_log.seeLog().c_str());
    installed = false;
  }
  // The registration stays either way: once the cause in the log is mended,
  // "net start Qvn" starts it.
  Expected<std::uint32_t> state = connection.queryState(kSchedulerService);
  g_log.writeFailure(state.result());
  if (!state || *state == SERVICE_STOPPED) {
    std::printf("Quorvane service installed but not running, %s\n", g_log.seeLog().c_str());
    installed = false;
  }
  return installed;
}

bool uninstallScheduler() {
  std::printf("Desinstalling Quorvane service...\n");
  ServiceManagerConnection connection;
  Result removed = connection.deleteService(kSchedulerService);
  g_log.writeFailure(removed);
  // Removed whatever became of the service: a source left behind would
  // name a Qvn.exe that may be deleted next.
  Result sourceRemoved = removeEventSource();
  g_log.writeFailure(sourceRemoved);
  if (removed && sourceRemoved)
    return true;
  if (removed.failedWith(ERROR_SERVICE_REQUEST_TIMEOUT))
    std::printf("Quorvane service did not stop within 30 s, removed when it stops\n");
  else
    std::printf("Unable to desinstall Quorvane service, %s\n", g_log.seeLog().c_str());
  return false;
}
