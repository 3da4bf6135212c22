#include "install/scheduler_registration.h"

#include "install/executable_path.h"
#include "log/diagnostic_log.h"
#include "scm/service_manager_connection.h"

#include <cstdio>
#include <string>

namespace {

const char *const kServiceName = "Qvn";

bool registerScheduler(ServiceManagerConnection &connection) {
  // The running program's own path, not the name it was typed as: started
  // through PATH or without ".exe", that name does not lead back to it.
  std::string path;
  if (!currentExecutablePath(path)) {
    g_log.writeLastError("GetModuleFileName()");
    return false;
  }
  // Quoted so that a directory with blanks is not split by the manager.
  std::string binaryPath = "\"" + path + "\" -service";
  return connection.createService(kServiceName, kServiceName, binaryPath.c_str(),
                                  "Run services at desired time", true);
}

} // namespace

bool installScheduler() {
  std::printf("Installing Quorvane service...\n");
  ServiceManagerConnection connection;
  bool ok = registerScheduler(connection);
  if (!ok)
    std::printf("Unable to install Quorvane service, see C:\\Qvn.log\n");
  return ok;
}

bool uninstallScheduler() {
  std::printf("Desinstalling Quorvane service...\n");
  ServiceManagerConnection connection;
  bool ok = connection.deleteService(kServiceName);
  if (!ok)
    std::printf("Unable to desinstall Quorvane service, see C:\\Qvn.log\n");
  return ok;
}
