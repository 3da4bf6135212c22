#include "scm/service_manager_connection.h"

#include "log/diagnostic_log.h"

#include <vector>

namespace {

// Each operation asks for exactly the rights it uses.
constexpr DWORD kManagerAccessDefault = 0;
constexpr DWORD kManagerAccessCreate = SC_MANAGER_CREATE_SERVICE; // 2
constexpr DWORD kServiceAccessQueryDelete = 0xF0024;              // required + query status + stop
constexpr DWORD kServiceAccessStart = SERVICE_START;              // 0x10
constexpr DWORD kServiceAccessStop = SERVICE_STOP;                // 0x20
constexpr DWORD kServiceAccessConfig = SERVICE_QUERY_CONFIG;      // 1
constexpr DWORD kServiceAccessCreated = 0xF0012; // required + change config + start
constexpr const char *kDatabase = "ServicesActive";

static_assert(kServiceAccessQueryDelete ==
                  (STANDARD_RIGHTS_REQUIRED | SERVICE_QUERY_STATUS | SERVICE_STOP),
              "query/delete rights");
static_assert(kServiceAccessCreated ==
                  (STANDARD_RIGHTS_REQUIRED | SERVICE_CHANGE_CONFIG | SERVICE_START),
              "rights on a created service");

constexpr std::uint32_t kStateStopped = SERVICE_STOPPED; // 1

// How long a removal waits for its service to stop, and how often it looks.
constexpr DWORD kStopWaitMs = 30000;
constexpr DWORD kStopPollMs = 100;

// A stop refused for one of these may be accepted a moment later: the
// service is still starting, or has just stopped by itself.
bool stopRefusedForNow(DWORD error) {
  return error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL || error == ERROR_SERVICE_NOT_ACTIVE;
}

} // namespace

ServiceManagerConnection::~ServiceManagerConnection() { closeAll(); }

void ServiceManagerConnection::logLastError(const char *context) {
  DWORD error = GetLastError();
  if (logFailures_)
    g_log.writeLastError(context);
  SetLastError(error);
}

bool ServiceManagerConnection::reachService(const char *name, unsigned long access,
                                            OpenFailureLog logOpen) {
  openManager(kManagerAccessDefault);
  if (!manager_)
    return false;
  service_.reset(OpenServiceA(manager_.get(), name, access));
  if (service_)
    return true;
  // Not reaching the service is a failure of the operation: success would
  // hide, say, an installer run without administrator rights.
  if (logOpen == OpenFailureLog::All ||
      (logOpen == OpenFailureLog::AllButMissing && GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST))
    logLastError("OpenService");
  closeAll();
  return false;
}

void ServiceManagerConnection::openManager(unsigned long access) {
  closeAll();
  manager_.reset(OpenSCManagerA(nullptr, kDatabase, access));
  if (!manager_)
    logLastError("OpenSCManager");
}

void ServiceManagerConnection::closeService() {
  // The caller's last error outlives the close, so a failure can be told.
  DWORD error = GetLastError();
  if (!service_.close())
    logLastError("CloseServiceHandle()");
  SetLastError(error);
}

void ServiceManagerConnection::closeAll() {
  DWORD error = GetLastError();
  closeService();
  if (!manager_.close())
    logLastError("CloseServiceHandle()");
  SetLastError(error);
}

bool ServiceManagerConnection::createService(const char *name, const char *displayName,
                                             const char *binaryPath, const char *description,
                                             bool startAtBoot) {
  openManager(kManagerAccessCreate);
  if (!manager_)
    return false;

  service_.reset(CreateServiceA(
      manager_.get(), name, displayName, kServiceAccessCreated, SERVICE_WIN32_OWN_PROCESS,
      startAtBoot ? SERVICE_AUTO_START : SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binaryPath,
      nullptr, nullptr, nullptr, nullptr, ""));
  if (!service_) {
    // Nothing to describe or start: any further call would only fail too.
    logLastError("CreateService()");
    closeAll();
    return false;
  }

  if (description && *description) {
    std::string copy(description); // the system's structure wants a writable text
    SERVICE_DESCRIPTIONA info{copy.data()};
    if (!ChangeServiceConfig2A(service_.get(), SERVICE_CONFIG_DESCRIPTION, &info))
      logLastError("ChangeServiceConfig2");
  }

  if (startAtBoot && !StartServiceA(service_.get(), 0, nullptr))
    logLastError("StartService()");

  closeAll();
  return true;
}

bool ServiceManagerConnection::stopAndWait() {
  DWORD started = GetTickCount();
  bool stopSent = false;
  for (;;) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service_.get(), &status)) {
      logLastError("QueryServiceStatus");
      return false;
    }
    if (status.dwCurrentState == SERVICE_STOPPED)
      return true;
    // Paused and pending services are asked too, not only running ones.
    if (status.dwCurrentState != SERVICE_STOP_PENDING && !stopSent) {
      if (ControlService(service_.get(), SERVICE_CONTROL_STOP, &status))
        stopSent = true;
      else if (!stopRefusedForNow(GetLastError())) {
        logLastError("ControlService");
        return false;
      }
    }
    if (GetTickCount() - started >= kStopWaitMs) {
      SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
      logLastError("Waiting for the service to stop");
      return false;
    }
    Sleep(kStopPollMs);
  }
}

bool ServiceManagerConnection::deleteService(const char *name) {
  if (!reachService(name, kServiceAccessQueryDelete, OpenFailureLog::AllButMissing))
    return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST; // nothing left to remove

  // Marked first, stopped after: the system removes it once it has stopped
  // and the last handle is closed. One marked already is as good.
  bool result = true;
  if (!DeleteService(service_.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
    logLastError("DeleteService()");
    result = false;
  }
  result = stopAndWait() && result;

  closeAll();
  return result;
}

bool ServiceManagerConnection::startService(const char *name) {
  if (!reachService(name, kServiceAccessStart, OpenFailureLog::All))
    return false;

  bool result = true;
  if (!StartServiceA(service_.get(), 0, nullptr)) {
    logLastError("StartService");
    result = false;
  }
  closeAll();
  return result;
}

bool ServiceManagerConnection::stopService(const char *name) {
  if (!reachService(name, kServiceAccessStop, OpenFailureLog::All))
    return false;

  bool result = true;
  SERVICE_STATUS status{};
  if (!ControlService(service_.get(), SERVICE_CONTROL_STOP, &status)) {
    logLastError("ControlService");
    result = false;
  }
  closeAll();
  return result;
}

std::uint32_t ServiceManagerConnection::queryState(const char *name) {
  // Unreachable counts as stopped: the scheduler then tries a start, whose
  // own failure is logged.
  std::uint32_t state = kStateStopped;
  return queryStatus(name, state) ? state : kStateStopped;
}

bool ServiceManagerConnection::queryStatus(const char *name, std::uint32_t &state) {
  if (!reachService(name, kServiceAccessQueryDelete, OpenFailureLog::None))
    return false;
  SERVICE_STATUS status{};
  bool ok = QueryServiceStatus(service_.get(), &status) != 0;
  if (ok)
    state = status.dwCurrentState;
  else
    logLastError("QueryServiceStatus");
  closeAll();
  return ok;
}

bool ServiceManagerConnection::queryConfiguration(const char *name, ServiceConfiguration &config) {
  if (!reachService(name, kServiceAccessConfig, OpenFailureLog::AllButMissing))
    return false;
  // The first call answers how much room the configuration needs.
  DWORD needed = 0;
  std::vector<unsigned char> buffer;
  bool ok = false;
  if (!QueryServiceConfigA(service_.get(), nullptr, 0, &needed) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer.resize(needed);
    auto *info = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buffer.data());
    ok = QueryServiceConfigA(service_.get(), info, needed, &needed) != 0;
    if (ok) {
      config.binaryPath = info->lpBinaryPathName ? info->lpBinaryPathName : "";
      config.displayName = info->lpDisplayName ? info->lpDisplayName : "";
    }
  }
  if (!ok)
    logLastError("QueryServiceConfig");
  closeAll();
  return ok;
}
