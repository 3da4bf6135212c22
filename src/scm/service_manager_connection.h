// A short-lived connection to the local service control manager. Each
// operation connects, opens one service with just the rights it needs, makes
// its one or two calls and closes both handles before returning. Failures of
// system calls are logged to the diagnostic log, never to the console, and
// handed back as the Result's error code.
#pragma once

#include "common/result.h"
#include "common/unique_handle.h"
#include "log/log_entry.h"
#include "scm/service_access.h"

#include <cstdint>
#include <string>
#include <vector>

// What a service is registered to run, as the manager reports it.
struct ServiceConfiguration {
  std::string binaryPath;
  std::string displayName;
  std::uint32_t startType = 0; // SERVICE_DISABLED (4): Windows starts it not even on request
};

class ServiceManagerConnection {
public:
  // logFailures false: nothing is written to the diagnostic log, for callers
  // that report failures themselves.
  explicit ServiceManagerConnection(bool logFailures = true) : logFailures_(logFailures) {}
  ~ServiceManagerConnection();
  ServiceManagerConnection(const ServiceManagerConnection &) = delete;
  ServiceManagerConnection &operator=(const ServiceManagerConnection &) = delete;

  // Registers a service in its own process; with startAtBoot it is automatic
  // and started at once, otherwise on demand. description may be null.
  // Fails only when the service was not created.
  Result createService(const char *name, const char *displayName, const char *binaryPath,
                       const char *description, bool startAtBoot);
  // Marks the service for deletion, asks it to stop unless it is stopped or
  // stopping, and waits up to 30 s for it to report stopped (failing with
  // ERROR_SERVICE_REQUEST_TIMEOUT then). A service that does not exist
  // counts as deleted.
  Result deleteService(const char *name);
  // A start refused because the service runs already, or a stop because it
  // is not active, fails too; its entry is information, not an error: the
  // service is where the caller wanted it.
  Result startService(const char *name);
  Result stopService(const char *name);
  // The current state (1 stopped, 2 start pending, 4 running, 7 paused...);
  // 1 when the service cannot be reached.
  std::uint32_t queryState(const char *name);
  // The current state; fails when the service cannot be opened or queried,
  // so a caller can tell a missing service from a stopped one.
  Result queryStatus(const char *name, std::uint32_t &state);
  // The service's binary path and display name; fails when it cannot be
  // opened or queried (a service that does not exist is not logged).
  Result queryConfiguration(const char *name, ServiceConfiguration &config);
  // The key names of the services that depend on name, directly or not;
  // with activeOnly, only those not stopped.
  Result listDependents(const char *name, bool activeOnly, std::vector<std::string> &names);
  // The key names of every service the manager knows, in one call.
  Result listServices(std::vector<std::string> &names);
  // Sets one item of the service's further configuration: level and info
  // as ChangeServiceConfig2A takes them. A system that does not know the
  // item refuses it with ERROR_INVALID_LEVEL or ERROR_INVALID_PARAMETER;
  // that refusal is not logged, the caller says what it means.
  Result changeConfiguration(const char *name, unsigned long level, void *info);

  Result openManager(unsigned long access);
  void closeService();
  void closeAll();

private:
  // Which failures to open the named service are worth a log entry.
  enum class OpenFailureLog { All, AllButMissing, None };

  // Connects and opens name with the rights operation needs. Fails when
  // either fails, with both handles closed and the failure logged as asked.
  Result reachService(const char *name, ServiceOperation operation, OpenFailureLog logOpen);
  // Sends the stop unless the service is stopped or stopping, then waits for
  // it to report stopped.
  Result stopAndWait();
  // Logs error under context as an entry of kind, unless failures are not
  // logged.
  void logFailure(const char *context, unsigned long error, LogKind kind = LogKind::Error);
  // logFailure, then the error as a failure.
  Result fail(const char *context, unsigned long error, LogKind kind = LogKind::Error);

  bool logFailures_;
  UniqueScHandle manager_;
  UniqueScHandle service_;
};
