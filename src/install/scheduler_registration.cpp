#include "install/scheduler_registration.h"

#include "install/binary_guard.h"
#include "install/executable_path.h"
#include "log/diagnostic_log.h"
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
  // Quoted so that a directory with blanks is not split by the manager.
  std::string binaryPath = "\"" + path + "\" -service";
  return connection.createService(kServiceName, kServiceName, binaryPath.c_str(),
                                  "Run services at desired time", true);
}

// The service runs as LocalSystem: no ordinary user may replace Qvn.exe or
// put files beside it. A path the system cannot give is logged by
// registerScheduler.
bool runsFromATrustedPlace() {
  std::string path;
  if (!currentExecutablePath(path))
    return true;
  std::string directory = path.substr(0, path.find_last_of('\\'));
  if (directory.size() == 2 && directory[1] == ':')
    directory += '\\';
  return onlyTrustedCanChange({directory, path}, "Quorvane service not installed", "");
}

} // namespace

bool installScheduler() {
  std::printf("Installing Quorvane service...\n");
  if (!runsFromATrustedPlace())
    return false;
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
  if (removed)
    return true;
  if (removed.failedWith(ERROR_SERVICE_REQUEST_TIMEOUT))
    std::printf("Quorvane service did not stop within 30 s, removed when it stops\n");
  else
    std::printf("Unable to desinstall Quorvane service, see C:\\Qvn.log\n");
  return false;
}
