// A short-lived connection to the local service control manager. Each
// operation connects, opens one service with just the rights it needs, makes
// its one or two calls and closes both handles before returning. Failures of
// system calls are logged to the diagnostic log, never to the console.
#pragma once

#include "common/unique_handle.h"
#include "scm/unreachable_service.h"

#include <cstdint>

class ServiceManagerConnection {
public:
  ServiceManagerConnection() = default;
  ~ServiceManagerConnection();
  ServiceManagerConnection(const ServiceManagerConnection &) = delete;
  ServiceManagerConnection &operator=(const ServiceManagerConnection &) = delete;

  // Registers a service in its own process; with startAtBoot it is automatic
  // and started at once, otherwise on demand. description may be null.
  bool createService(const char *name, const char *displayName, const char *binaryPath,
                     const char *description, bool startAtBoot);
  // Marks the service for deletion, then stops it if it runs. A service that
  // does not exist counts as deleted.
  bool deleteService(const char *name);
  bool startService(const char *name);
  bool stopService(const char *name);
  // The current state (1 stopped, 2 start pending, 4 running, 7 paused...);
  // 1 when the service cannot be reached.
  std::uint32_t queryState(const char *name);

  void openManager(unsigned long access);
  void closeService();
  void closeAll();

private:
  // Connects and opens name with access for op. False when either fails,
  // with both handles closed, the failure logged as op requires, and in
  // answer what op then returns.
  bool reachService(const char *name, unsigned long access, ServiceOperation op, bool &answer);

  UniqueScHandle manager_;
  UniqueScHandle service_;
};
