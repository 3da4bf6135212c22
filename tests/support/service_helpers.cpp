#include "service_helpers.h"

#include "test_support.h"

#include <vector>

namespace qvntest {

namespace {

// Owns one service control handle; closing keeps the last error.
class Sc {
public:
  explicit Sc(SC_HANDLE h = nullptr) : h_(h) {}
  ~Sc() {
    DWORD error = GetLastError();
    if (h_)
      CloseServiceHandle(h_);
    SetLastError(error);
  }
  Sc(const Sc &) = delete;
  Sc &operator=(const Sc &) = delete;
  SC_HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

private:
  SC_HANDLE h_;
};

// Opens the named service with access; the manager handle dies with it, which
// the system allows. Empty on failure, with the last error set.
SC_HANDLE openService(const std::string &name, DWORD access) {
  Sc manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager)
    return nullptr;
  return OpenServiceA(manager.get(), name.c_str(), access);
}

bool queryStatus(const std::string &name, SERVICE_STATUS_PROCESS &status) {
  Sc service(openService(name, SERVICE_QUERY_STATUS));
  DWORD needed = 0;
  return service &&
         QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE *>(&status), sizeof(status), &needed);
}

} // namespace

ServiceConfig queryServiceConfig(const std::string &name) {
  ServiceConfig config;
  Sc service(openService(name, SERVICE_QUERY_CONFIG));
  if (!service)
    return config;
  DWORD needed = 0;
  QueryServiceConfigA(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed + 1);
  auto *qsc = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buffer.data());
  if (!QueryServiceConfigA(service.get(), qsc, static_cast<DWORD>(buffer.size()), &needed))
    return config;
  config.exists = true;
  config.serviceType = qsc->dwServiceType;
  config.startType = qsc->dwStartType;
  config.errorControl = qsc->dwErrorControl;
  config.binaryPath = qsc->lpBinaryPathName ? qsc->lpBinaryPathName : "";
  config.displayName = qsc->lpDisplayName ? qsc->lpDisplayName : "";
  config.account = qsc->lpServiceStartName ? qsc->lpServiceStartName : "";

  needed = 0;
  QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
  std::vector<BYTE> described(needed + sizeof(SERVICE_DESCRIPTIONA));
  auto *desc = reinterpret_cast<SERVICE_DESCRIPTIONA *>(described.data());
  if (QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, described.data(),
                           static_cast<DWORD>(described.size()), &needed) &&
      desc->lpDescription)
    config.description = desc->lpDescription;
  return config;
}

DWORD serviceState(const std::string &name) {
  SERVICE_STATUS_PROCESS status{};
  return queryStatus(name, status) ? status.dwCurrentState : 0;
}

DWORD serviceProcessId(const std::string &name) {
  SERVICE_STATUS_PROCESS status{};
  return queryStatus(name, status) ? status.dwProcessId : 0;
}

std::pair<DWORD, DWORD> serviceExitCodes(const std::string &name) {
  SERVICE_STATUS_PROCESS status{};
  if (!queryStatus(name, status))
    return {0, 0};
  return {status.dwWin32ExitCode, status.dwServiceSpecificExitCode};
}

bool waitForServiceState(const std::string &name, DWORD state, DWORD timeoutMs) {
  return waitFor([&] { return serviceState(name) == state; }, timeoutMs);
}

bool waitForServiceGone(const std::string &name, DWORD timeoutMs) {
  return waitFor([&] { return openServiceError(name) == ERROR_SERVICE_DOES_NOT_EXIST; }, timeoutMs);
}

DWORD openServiceError(const std::string &name) {
  Sc service(openService(name, SERVICE_QUERY_STATUS));
  return service ? ERROR_SUCCESS : GetLastError();
}

bool markedForDeletion(const std::string &name) {
  Sc service(openService(name, SERVICE_CHANGE_CONFIG));
  if (!service)
    return GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
  return !ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                               SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr) &&
         GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

DWORD controlService(const std::string &name, DWORD control) {
  Sc service(openService(name, SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_INTERROGATE |
                                   SERVICE_USER_DEFINED_CONTROL));
  if (!service)
    return GetLastError();
  SERVICE_STATUS status{};
  return ControlService(service.get(), control, &status) ? ERROR_SUCCESS : GetLastError();
}

DWORD startServiceWithArgs(const std::string &name, const std::string &args) {
  Sc service(openService(name, SERVICE_START));
  if (!service)
    return GetLastError();
  // Blank-separated arguments, no quoting: tests pass simple switches.
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < args.size()) {
    size_t end = args.find(' ', at);
    if (end == std::string::npos)
      end = args.size();
    if (end > at)
      parts.push_back(args.substr(at, end - at));
    at = end + 1;
  }
  std::vector<const char *> argv;
  for (const std::string &p : parts)
    argv.push_back(p.c_str());
  return StartServiceA(service.get(), static_cast<DWORD>(argv.size()),
                       argv.empty() ? nullptr : argv.data())
             ? ERROR_SUCCESS
             : GetLastError();
}

bool processAlive(DWORD pid) {
  if (pid == 0)
    return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process)
    return false;
  DWORD code = 0;
  bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return alive;
}

bool waitForProcessEnd(DWORD pid, DWORD timeoutMs) {
  return waitFor([&] { return !processAlive(pid); }, timeoutMs);
}

std::string uniqueServiceName(const std::string &prefix) {
  static unsigned counter = 0;
  return prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

std::string testServiceCommand(const std::string &switches) {
  std::string command = "\"" + programPath("test_service.exe") + "\"";
  if (!switches.empty())
    command += " " + switches;
  return command;
}

bool registerService(const std::string &name, const std::string &binaryPath, DWORD startType) {
  Sc manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager)
    return false;
  Sc service(CreateServiceA(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                            SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_IGNORE,
                            binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return static_cast<bool>(service);
}

bool registerTestService(const std::string &name, const std::string &switches, DWORD startType) {
  return registerService(name, testServiceCommand(switches), startType);
}

bool removeService(const std::string &name) {
  DWORD pid = serviceProcessId(name);
  if (pid && processAlive(pid)) {
    controlService(name, SERVICE_CONTROL_STOP);
    if (!waitForProcessEnd(pid, 2500)) {
      controlService(name, kTestServiceQuit);
      waitForProcessEnd(pid, 5000);
    }
  }
  {
    Sc service(openService(name, DELETE));
    if (service)
      DeleteService(service.get());
  }
  return waitForServiceGone(name, 5000);
}

std::string systemMessage(DWORD code) {
  char *text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char *>(&text), 0, nullptr);
  std::string message = text ? text : "";
  LocalFree(text);
  return message;
}

std::string logErrorEntry(const std::string &context, DWORD code) {
  std::string plain = context + "\n";
  std::string message = systemMessage(code);
  if (!message.empty())
    plain += "  " + message + "\n";
  // Text mode: every "\n" reaches the file as "\r\n".
  std::string file;
  for (char c : plain) {
    if (c == '\n')
      file += '\r';
    file += c;
  }
  return file;
}

} // namespace qvntest
