#include "scm/service_manager_connection.h"

#include "common/system_numbers.h"
#include "log/diagnostic_log.h"
#include "scm/service_access.h"

#include <algorithm>
#include <vector>

namespace {

constexpr const char *kDatabase = "ServicesActive";

// How long a removal waits for its service to stop, and how often it looks.
constexpr DWORD kStopWaitMs = 30000;
constexpr DWORD kStopPollMs = 100;

// A stop refused for one of these may be accepted a moment later: the
// service is still starting, or has just stopped by itself.
bool stopRefusedForNow(DWORD error) {
  return error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL || error == ERROR_SERVICE_NOT_ACTIVE;
}

// Monitoring alerts on errors: a start or stop refused because the service
// is already where it was sent is information.
LogKind refusalKind(DWORD error, DWORD alreadyThere) {
  return error == alreadyThere ? LogKind::Information : LogKind::Error;
}

// Windows too old for an item, and Wine 8 for the delayed start.
bool itemUnknown(DWORD error) {
  return error == ERROR_INVALID_LEVEL || error == ERROR_INVALID_PARAMETER;
}

} // namespace

ServiceManagerConnection::~ServiceManagerConnection() { closeAll(); }

Result ServiceManagerConnection::fail(const char *call, unsigned long error, LogKind kind) {
  return kind == LogKind::Information ? Result::refusal(error, call) : Result::failure(error, call);
}

Result ServiceManagerConnection::reachService(const char *name, ServiceOperation operation,
                                              OpenFailureLog logOpen) {
  ServiceAccess access = accessFor(operation);
  if (Result connected = openManager(access.manager); !connected)
    return connected;
  service_.reset(OpenServiceA(manager_.get(), name, access.service));
  if (service_)
    return Result();
  // Not reaching the service is a failure of the operation: success would
  // hide, say, an installer run without administrator rights.
  DWORD error = GetLastError();
  closeAll();
  if (logOpen == OpenFailureLog::All ||
      (logOpen == OpenFailureLog::AllButMissing && error != ERROR_SERVICE_DOES_NOT_EXIST))
    return fail("OpenService", error);
  return Result::failure(error);
}

Result ServiceManagerConnection::openManager(unsigned long access) {
  closeAll();
  manager_.reset(OpenSCManagerA(nullptr, kDatabase, access));
  return manager_ ? Result() : fail("OpenSCManager", GetLastError());
}

void ServiceManagerConnection::closeService() { g_log.writeFailure(service_.close()); }

void ServiceManagerConnection::closeAll() {
  closeService();
  g_log.writeFailure(manager_.close());
}

Result ServiceManagerConnection::createService(const char *name, const char *displayName,
                                               const char *binaryPath, const char *description,
                                               bool startAtBoot) {
  constexpr ServiceAccess access = accessFor(ServiceOperation::Create);
  if (Result connected = openManager(access.manager); !connected)
    return connected;

  service_.reset(
      CreateServiceA(manager_.get(), name, displayName, access.service, SERVICE_WIN32_OWN_PROCESS,
                     startAtBoot ? SERVICE_AUTO_START : SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                     binaryPath, nullptr, nullptr, nullptr, nullptr, ""));
  if (!service_) {
    // Nothing to describe or start: any further call would only fail too.
    Result failed = fail("CreateService()", GetLastError());
    closeAll();
    return failed;
  }

  if (description && *description) {
    std::string copy(description); // the system's structure wants a writable text
    SERVICE_DESCRIPTIONA info{copy.data()};
    if (!ChangeServiceConfig2A(service_.get(), SERVICE_CONFIG_DESCRIPTION, &info))
      g_log.writeError("ChangeServiceConfig2", GetLastError());
  }

  if (startAtBoot && !StartServiceA(service_.get(), 0, nullptr))
    g_log.writeError("StartService", GetLastError());

  closeAll();
  return Result();
}

Result ServiceManagerConnection::stopAndWait() {
  DWORD started = GetTickCount();
  bool stopSent = false;
  for (;;) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service_.get(), &status))
      return fail("QueryServiceStatus", GetLastError());
    if (status.dwCurrentState == SERVICE_STOPPED)
      return Result();
    // Paused and pending services are asked too, not only running ones.
    if (status.dwCurrentState != SERVICE_STOP_PENDING && !stopSent) {
      if (ControlService(service_.get(), SERVICE_CONTROL_STOP, &status))
        stopSent = true;
      else if (DWORD error = GetLastError(); !stopRefusedForNow(error))
        return fail("ControlService", error);
    }
    if (GetTickCount() - started >= kStopWaitMs)
      return fail("Waiting for the service to stop", ERROR_SERVICE_REQUEST_TIMEOUT);
    Sleep(kStopPollMs);
  }
}

Result ServiceManagerConnection::deleteService(const char *name) {
  Result reached = reachService(name, ServiceOperation::Delete, OpenFailureLog::AllButMissing);
  if (!reached)
    // Nothing left to remove is as good as removed.
    return reached.failedWith(ERROR_SERVICE_DOES_NOT_EXIST) ? Result() : reached;

  // Marked first, stopped after: the system removes it once it has stopped
  // and the last handle is closed. One marked already is as good.
  Result result;
  if (!DeleteService(service_.get())) {
    DWORD error = GetLastError();
    if (error != ERROR_SERVICE_MARKED_FOR_DELETE)
      result = fail("DeleteService()", error);
  }
  Result stopped = stopAndWait();
  closeAll();
  if (!stopped && !result)
    g_log.writeFailure(result); // the caller hears of the stop only
  return stopped ? result : stopped;
}

Result ServiceManagerConnection::startService(const char *name) {
  Result result = reachService(name, ServiceOperation::Start, OpenFailureLog::All);
  if (result && !StartServiceA(service_.get(), 0, nullptr)) {
    DWORD error = GetLastError();
    result = fail("StartService", error, refusalKind(error, ERROR_SERVICE_ALREADY_RUNNING));
  }
  closeAll();
  return result;
}

Result ServiceManagerConnection::stopService(const char *name) {
  Result result = reachService(name, ServiceOperation::Stop, OpenFailureLog::All);
  SERVICE_STATUS status{};
  if (result && !ControlService(service_.get(), SERVICE_CONTROL_STOP, &status)) {
    DWORD error = GetLastError();
    result = fail("ControlService", error, refusalKind(error, ERROR_SERVICE_NOT_ACTIVE));
  }
  closeAll();
  return result;
}

Result ServiceManagerConnection::reloadService(const char *name) {
  Result result = reachService(name, ServiceOperation::Reload, OpenFailureLog::All);
  SERVICE_STATUS status{};
  if (result && !ControlService(service_.get(), SERVICE_CONTROL_PARAMCHANGE, &status))
    result = fail("ControlService", GetLastError());
  closeAll();
  return result;
}

Expected<std::uint32_t> ServiceManagerConnection::queryState(const char *name) {
  Result result = reachService(name, ServiceOperation::QueryStatus, OpenFailureLog::None);
  SERVICE_STATUS status{};
  if (result && !QueryServiceStatus(service_.get(), &status))
    result = fail("QueryServiceStatus", GetLastError());
  closeAll();
  if (!result)
    return result;
  return std::uint32_t{status.dwCurrentState};
}

Result ServiceManagerConnection::queryConfiguration(const char *name,
                                                    ServiceConfiguration &config) {
  Result result = reachService(name, ServiceOperation::QueryConfig, OpenFailureLog::AllButMissing);
  if (!result)
    return result;
  // The first call answers how much room the configuration needs.
  DWORD needed = 0;
  std::vector<unsigned char> buffer;
  QueryServiceConfigA(service_.get(), nullptr, 0, &needed);
  DWORD error = GetLastError();
  if (error == ERROR_INSUFFICIENT_BUFFER) {
    buffer.resize(needed);
    auto *info = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buffer.data());
    if (QueryServiceConfigA(service_.get(), info, needed, &needed)) {
      config.binaryPath = info->lpBinaryPathName ? info->lpBinaryPathName : "";
      config.displayName = info->lpDisplayName ? info->lpDisplayName : "";
      config.startType = info->dwStartType;
      error = ERROR_SUCCESS;
    } else {
      error = GetLastError();
    }
  }
  if (error != ERROR_SUCCESS)
    result = fail("QueryServiceConfig", error);
  closeAll();
  return result;
}

Result ServiceManagerConnection::listDependents(const char *name, bool activeOnly,
                                                std::vector<std::string> &names) {
  names.clear();
  Result result = reachService(name, ServiceOperation::ListDependents, OpenFailureLog::All);
  if (!result)
    return result;
  const DWORD states = activeOnly ? SERVICE_ACTIVE : SERVICE_STATE_ALL;
  // The first call answers how much room the list needs, or lists nothing.
  DWORD needed = 0, count = 0;
  std::vector<unsigned char> buffer;
  BOOL listed = EnumDependentServicesA(service_.get(), states, nullptr, 0, &needed, &count);
  if (!listed && GetLastError() == ERROR_MORE_DATA) {
    buffer.resize(needed);
    listed = EnumDependentServicesA(service_.get(), states,
                                    reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer.data()), needed,
                                    &needed, &count);
  }
  if (!listed) {
    result = fail("EnumDependentServices", GetLastError());
  } else if (!buffer.empty()) {
    const auto *entries = reinterpret_cast<const ENUM_SERVICE_STATUSA *>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
      names.emplace_back(entries[i].lpServiceName ? entries[i].lpServiceName : "");
  }
  closeAll();
  return result;
}

Result ServiceManagerConnection::listServices(std::vector<std::string> &names) {
  names.clear();
  Result result = openManager(rights::kManagerEnumerate);
  if (!result)
    return result;
  // Page by page: each call goes on where the one before stopped.
  std::vector<unsigned char> buffer(65536);
  DWORD resume = 0;
  for (;;) {
    DWORD needed = 0, count = 0;
    BOOL whole =
        EnumServicesStatusA(manager_.get(), SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL,
                            reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer.data()),
                            static_cast<DWORD>(buffer.size()), &needed, &count, &resume);
    DWORD error = whole ? ERROR_SUCCESS : GetLastError();
    if (!whole && error != ERROR_MORE_DATA) {
      result = fail("EnumServicesStatus", error);
      break;
    }
    const auto *entries = reinterpret_cast<const ENUM_SERVICE_STATUSA *>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
      names.emplace_back(entries[i].lpServiceName ? entries[i].lpServiceName : "");
    if (whole)
      break;
    if (count == 0)
      buffer.resize(std::max<std::size_t>(needed, buffer.size() * 2));
  }
  closeAll();
  return result;
}

Result ServiceManagerConnection::changeConfiguration(const char *name, unsigned long level,
                                                     void *info) {
  Result result = reachService(name, ServiceOperation::ChangeConfig, OpenFailureLog::All);
  if (result && !ChangeServiceConfig2A(service_.get(), level, info)) {
    DWORD error = GetLastError();
    result = itemUnknown(error) ? Result::failure(error) : fail("ChangeServiceConfig2", error);
  }
  closeAll();
  return result;
}
