#include "install/scheduler_registration.h"

#include "install/executable_path.h"
#include "log/diagnostic_log.h"
#include "log/event_log.h"
#include "scm/service_manager_connection.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const char *const kServiceName = "Qvn";

Result registerScheduler(ServiceManagerConnection &connection) {
  // The running program's own path, not the name it was typed as: started
  // through PATH or without ".exe", that name does not lead back to it.
  std::string path;
  if (!currentExecutablePath(path)) {
    DWORD error = GetLastError();
    g_log.writeError("GetModuleFileName()", error);
    return Result::failure(error);
  }
  // The event source first: the service's first entries already find
  // their text in this Qvn.exe.
  if (Result source = registerEventSource(path); !source)
    return source;
  // Quoted so that a directory with blanks is not split by the manager.
  std::string binaryPath = "\"" + path + "\" -service";
  return connection.createService(kServiceName, kServiceName, binaryPath.c_str(),
                                  "Run services at desired time", true);
}

} // namespace

bool installScheduler() {
  std::printf("Installing Quorvane service...\n");
  ServiceManagerConnection connection;
  if (!registerScheduler(connection)) {
    std::printf("Unable to install Quorvane service, see C:\\Qvn.log\n");
    return false;
  }
  // The registration stays either way: once the cause in the log is mended,
  // "net start Qvn" starts it.
  std::uint32_t state = 0;
  if (!connection.queryStatus(kServiceName, state) || state == SERVICE_STOPPED) {
    std::printf("Quorvane service installed but not running, see C:\\Qvn.log\n");
    return false;
  }
  return true;
}

bool uninstallScheduler() {
  std::printf("Desinstalling Quorvane service...\n");
  ServiceManagerConnection connection;
  Result removed = connection.deleteService(kServiceName);
  // Removed whatever became of the service: a source left behind would
  // name a Qvn.exe that may be deleted next.
  Result sourceRemoved = removeEventSource();
  if (removed && sourceRemoved)
    return true;
  if (removed.failedWith(ERROR_SERVICE_REQUEST_TIMEOUT))
    std::printf("Quorvane service did not stop within 30 s, removed when it stops\n");
  else
    std::printf("Unable to desinstall Quorvane service, see C:\\Qvn.log\n");
  return false;
}
