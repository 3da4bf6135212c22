// A short-lived connection to the local service control manager. Each
// operation connects, opens one service with just the rights it needs, makes
// its one or two calls and closes both handles before returning. Failures of
// system calls are logged to the diagnostic log, never to the console; after
// a false return GetLastError() still holds the failing call's error.
#pragma once

#include "common/unique_handle.h"

#include <cstdint>
#include <string>

// What a service is registered to run, as the manager reports it.
struct ServiceConfiguration {
  std::string binaryPath;
  std::string displayName;
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
  // False only when the service was not created.
  bool createService(const char *name, const char *displayName, const char *binaryPath,
                     const char *description, bool startAtBoot);
  // Marks the service for deletion, asks it to stop unless it is stopped or
  // stopping, and waits up to 30 s for it to report stopped (false then, with
  // ERROR_SERVICE_REQUEST_TIMEOUT). A service that does not exist counts as
  // deleted.
  bool deleteService(const char *name);
  bool startService(const char *name);
  bool stopService(const char *name);
  // The current state (1 stopped, 2 start pending, 4 running, 7 paused...);
  // 1 when the service cannot be reached.
  std::uint32_t queryState(const char *name);
  // The current state; false when the service cannot be opened or queried,
  // so a caller can tell a missing service from a stopped one.
  bool queryStatus(const char *name, std::uint32_t &state);
  // The service's binary path and display name; false when it cannot be
  // opened or queried (a service that does not exist is not logged).
  bool queryConfiguration(const char *name, ServiceConfiguration &config);

  void openManager(unsigned long access);
  void closeService();
  void closeAll();

private:
  // Which failures to open the named service are worth a log entry.
  enum class OpenFailureLog { All, AllButMissing, None };

  // Connects and opens name with access. False when either fails, with both
  // handles closed and the failure logged as asked.
  bool reachService(const char *name, unsigned long access, OpenFailureLog logOpen);
  // Sends the stop unless the service is stopped or stopping, then waits for
  // it to report stopped. False when it fails or times out.
  bool stopAndWait();
  // Logs the calling thread's last error under context (unless failures are
  // not logged), keeping that error for the caller.
  void logLastError(const char *context);

  bool logFailures_;
  UniqueScHandle manager_;
  UniqueScHandle service_;
};
