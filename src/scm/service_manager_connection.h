// A short-lived connection to the local service control manager. Each
// operation connects, opens one service with just the rights it needs, makes
// its one or two calls and closes both handles before returning. A failure
// is handed back as a Result naming the failed call, for the caller to log;
// one that does not fail the operation (a description, a start at boot,
// closing a handle) reaches no caller and is logged here.
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
  ServiceManagerConnection() = default;
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
  // fails when the service cannot be opened (naming no call) or queried.
  Expected<std::uint32_t> queryState(const char *name);
  // Sends a paramchange: the scheduler reads its settings again.
  Result reloadService(const char *name);
  // The service's binary path and display name; fails when it cannot be
  // opened or queried (naming no call when it does not exist).
  Result queryConfiguration(const char *name, ServiceConfiguration &config);
  // The key names of the services that depend on name, directly or not;
  // with activeOnly, only those not stopped.
  Result listDependents(const char *name, bool activeOnly, std::vector<std::string> &names);
  // The key names of every service the manager knows, in one call.
  Result listServices(std::vector<std::string> &names);
  // Sets one item of the service's further configuration: level and info
  // as ChangeServiceConfig2A takes them. A system that does not know the
  // item refuses it with ERROR_INVALID_LEVEL or ERROR_INVALID_PARAMETER,
  // naming no call: the caller says what it means.
  Result changeConfiguration(const char *name, unsigned long level, void *info);

  Result openManager(unsigned long access);
  void closeService();
  void closeAll();

private:
  // Which failures to open the named service name the call, for the log.
  enum class OpenFailureLog { All, AllButMissing, None };

  // Connects and opens name with the rights operation needs. Fails when
  // either fails, with both handles closed.
  Result reachService(const char *name, ServiceOperation operation, OpenFailureLog logOpen);
  // Sends the stop unless the service is stopped or stopping, then waits for
  // it to report stopped.
  Result stopAndWait();
  // The failed call and its error, as a routine refusal when kind is
  // Information.
  static Result fail(const char *call, unsigned long error, LogKind kind = LogKind::Error);

  UniqueScHandle manager_;
  UniqueScHandle service_;
};
