// Helpers for tests that act on real services: read a service's registration
// and state straight from the service control manager, wait for states, make
// and remove registrations of the test service, and check processes.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace qvntest {

// The user control that makes the test service end whatever its switches.
constexpr DWORD kTestServiceQuit = 200;

struct ServiceConfig {
  bool exists = false;
  DWORD serviceType = 0;
  DWORD startType = 0;
  DWORD errorControl = 0;
  std::string binaryPath;
  std::string displayName;
  std::string account;
  std::string description; // empty when none is set
};

// The registration as QueryServiceConfigA / QueryServiceConfig2A report it;
// exists is false when the service cannot be opened.
ServiceConfig queryServiceConfig(const std::string &name);
// The current state (1 stopped ... 7 paused), or 0 when the service cannot
// be opened or queried.
DWORD serviceState(const std::string &name);
// The service's process id (0 when it has none or cannot be queried).
DWORD serviceProcessId(const std::string &name);
// The exit codes the service last reported: Win32, then service-specific.
std::pair<DWORD, DWORD> serviceExitCodes(const std::string &name);
// Polls until the service reports state; false on timeout.
bool waitForServiceState(const std::string &name, DWORD state, DWORD timeoutMs = 15000);
// Polls until the service no longer exists; false on timeout.
bool waitForServiceGone(const std::string &name, DWORD timeoutMs = 15000);
// The error OpenServiceA gives for name (ERROR_SUCCESS when it opens).
DWORD openServiceError(const std::string &name);
// True when the service is marked for deletion: a change of its
// configuration that changes nothing is refused for that reason alone.
bool markedForDeletion(const std::string &name);
// Sends control to the service; the system's error, or ERROR_SUCCESS.
DWORD controlService(const std::string &name, DWORD control);
// Starts the service with the given start arguments; the error or ERROR_SUCCESS.
DWORD startServiceWithArgs(const std::string &name, const std::string &args = "");

// True while the process runs (OpenProcess + GetExitCodeProcess): Wine can
// go on reporting a killed service as running, its process tells the truth.
bool processAlive(DWORD pid);
// Polls until the process has ended; false on timeout.
bool waitForProcessEnd(DWORD pid, DWORD timeoutMs = 15000);

// A name no other test or earlier run uses: prefix + process id + counter.
std::string uniqueServiceName(const std::string &prefix);
// The test service's binary path: its quoted full path, then switches if any.
std::string testServiceCommand(const std::string &switches = "");
// Registers a service directly (not through the code under test), own
// process, named and displayed as name.
bool registerService(const std::string &name, const std::string &binaryPath,
                     DWORD startType = SERVICE_DEMAND_START);
// Registers the test service directly (not through the code under test),
// own process, with the given start type (SERVICE_DEMAND_START ...).
bool registerTestService(const std::string &name, const std::string &switches = "",
                         DWORD startType = SERVICE_DEMAND_START);
// Stops the service if it runs (ending it with kTestServiceQuit if it will
// not stop), deletes it and waits until it is gone. True when it is gone.
bool removeService(const std::string &name);

// Removes the named service when the test ends, pass or fail.
class ServiceCleanup {
public:
  explicit ServiceCleanup(std::string name) : name_(std::move(name)) {}
  ~ServiceCleanup() { removeService(name_); }
  ServiceCleanup(const ServiceCleanup &) = delete;
  ServiceCleanup &operator=(const ServiceCleanup &) = delete;
  const std::string &name() const { return name_; }

private:
  std::string name_;
};

// The system's message for code, as the log writes it (empty when none).
std::string systemMessage(DWORD code);
// A log error entry exactly as it lands in the text-mode log file: the
// context line, then two spaces and the system's message for code.
std::string logErrorEntry(const std::string &context, DWORD code);

} // namespace qvntest
