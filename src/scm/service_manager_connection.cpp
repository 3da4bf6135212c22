#include "scm/service_manager_connection.h"

#include "log/diagnostic_log.h"
#include "scm/unreachable_service.h"

#include <string>

namespace {

// Each operation asks for exactly the rights it uses.
constexpr DWORD kManagerAccessDefault = 0;
constexpr DWORD kManagerAccessCreate = SC_MANAGER_CREATE_SERVICE; // 2
constexpr DWORD kServiceAccessQueryDelete = 0xF0024;              // required + query status + stop
constexpr DWORD kServiceAccessStart = SERVICE_START;              // 0x10
constexpr DWORD kServiceAccessStop = SERVICE_STOP;                // 0x20
constexpr DWORD kServiceAccessCreated = 0xF0012; // required + change config + start
constexpr const char *kDatabase = "ServicesActive";

static_assert(kServiceAccessQueryDelete ==
                  (STANDARD_RIGHTS_REQUIRED | SERVICE_QUERY_STATUS | SERVICE_STOP),
              "query/delete rights");
static_assert(kServiceAccessCreated ==
                  (STANDARD_RIGHTS_REQUIRED | SERVICE_CHANGE_CONFIG | SERVICE_START),
              "rights on a created service");
static_assert(kErrorServiceDoesNotExist == ERROR_SERVICE_DOES_NOT_EXIST, "error code");

constexpr std::uint32_t kStateStopped = SERVICE_STOPPED; // 1
constexpr std::uint32_t kStateRunning = SERVICE_RUNNING; // 4

} // namespace

ServiceManagerConnection::~ServiceManagerConnection() { closeAll(); }

bool ServiceManagerConnection::reachService(const char *name, unsigned long access,
                                            ServiceOperation op, bool &answer) {
  openManager(kManagerAccessDefault);
  if (!manager_) {
    answer = answerWithoutManager(op).result;
    return false;
  }
  service_.reset(OpenServiceA(manager_.get(), name, access));
  if (service_)
    return true;
  UnreachableAnswer decided = answerServiceNotOpened(op, GetLastError());
  if (decided.logContext)
    g_log.writeLastError(decided.logContext);
  answer = decided.result;
  closeAll();
  return false;
}

void ServiceManagerConnection::openManager(unsigned long access) {
  closeAll();
  manager_.reset(OpenSCManagerA(nullptr, kDatabase, access));
  if (!manager_)
    g_log.writeLastError("OpenSCManager");
}

void ServiceManagerConnection::closeService() {
  if (!service_.close())
    g_log.writeLastError("CloseServiceHandle()");
}

void ServiceManagerConnection::closeAll() {
  closeService();
  if (!manager_.close())
    g_log.writeLastError("CloseServiceHandle()");
}

bool ServiceManagerConnection::createService(const char *name, const char *displayName,
                                             const char *binaryPath, const char *description,
                                             bool startAtBoot) {
  openManager(kManagerAccessCreate);
  if (!manager_)
    return answerWithoutManager(ServiceOperation::Create).result;

  bool result = true;
  service_.reset(CreateServiceA(
      manager_.get(), name, displayName, kServiceAccessCreated, SERVICE_WIN32_OWN_PROCESS,
      startAtBoot ? SERVICE_AUTO_START : SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binaryPath,
      nullptr, nullptr, nullptr, nullptr, ""));
  if (!service_) {
    g_log.writeLastError("CreateService()");
    result = false;
  }

  // Tried even when the create failed: the call then fails and is logged too.
  if (description && *description) {
    std::string copy(description); // the system's structure wants a writable text
    SERVICE_DESCRIPTIONA info{copy.data()};
    if (!ChangeServiceConfig2A(service_.get(), SERVICE_CONFIG_DESCRIPTION, &info))
      g_log.writeLastError("ChangeServiceConfig2");
  }

  if (service_ && startAtBoot && !StartServiceA(service_.get(), 0, nullptr))
    g_log.writeLastError("StartService()");

  closeAll();
  return result;
}

bool ServiceManagerConnection::deleteService(const char *name) {
  bool answer = false;
  if (!reachService(name, kServiceAccessQueryDelete, ServiceOperation::Delete, answer))
    return answer;

  // Marked first, stopped after: the system removes it once it has stopped
  // and the last handle is closed.
  bool result = true;
  if (!DeleteService(service_.get())) {
    g_log.writeLastError("DeleteService()");
    result = false;
  }

  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service_.get(), &status)) {
    g_log.writeLastError("QueryServiceStatus");
  } else if (status.dwCurrentState == kStateRunning &&
             !ControlService(service_.get(), SERVICE_CONTROL_STOP, &status)) {
    g_log.writeLastError("ControlService");
  }

  closeService();
  closeAll();
  return result;
}

bool ServiceManagerConnection::startService(const char *name) {
  bool answer = false;
  if (!reachService(name, kServiceAccessStart, ServiceOperation::Start, answer))
    return answer;

  bool result = true;
  if (!StartServiceA(service_.get(), 0, nullptr)) {
    g_log.writeLastError("StartService");
    result = false;
  }
  closeAll();
  return result;
}

bool ServiceManagerConnection::stopService(const char *name) {
  bool answer = false;
  if (!reachService(name, kServiceAccessStop, ServiceOperation::Stop, answer))
    return answer;

  bool result = true;
  SERVICE_STATUS status{};
  if (!ControlService(service_.get(), SERVICE_CONTROL_STOP, &status)) {
    g_log.writeLastError("ControlService");
    result = false;
  }
  closeAll();
  return result;
}

std::uint32_t ServiceManagerConnection::queryState(const char *name) {
  // Unreachable counts as stopped: the scheduler then tries a start, whose
  // own failure is logged.
  std::uint32_t state = kStateStopped;
  openManager(kManagerAccessDefault);
  if (manager_)
    service_.reset(OpenServiceA(manager_.get(), name, kServiceAccessQueryDelete));
  if (service_) {
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service_.get(), &status))
      state = status.dwCurrentState;
    else
      g_log.writeLastError("QueryServiceStatus");
  }
  closeAll();
  return state;
}
