#include "install/client_installer.h"

#include "common/names.h"
#include "config/ini_file.h"
#include "config/ini_reader.h"
#include "host/host_parameters.h"
#include "install/binary_guard.h"
#include "install/client_plan.h"
#include "install/install_config.h"
#include "install/install_files.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <cstdio>

namespace {

void printLines(const std::vector<std::string> &lines) {
  for (const std::string &line : lines)
    std::printf("%s\n", line.c_str());
}

std::optional<std::string> fullPathLogged(const std::string &path) {
  Expected<std::string> full = fullPathOf(path);
  if (full)
    return *full;
  g_log.writeFailure(full.result());
  return std::nullopt;
}

// What the run works on, said first; none when the run ends there.
std::optional<ConfigurationWork> workOn(const std::optional<std::string> &configuration,
                                        const char *verb) {
  ConfigurationWork work = planConfigurationWork(*readIniFile(kInstallFile), configuration, verb);
  printLines(work.lines);
  if (!work.usable)
    return std::nullopt;
  return work;
}

// Deletes the service only when srvany.exe hosts it: a name listed by
// mistake must never remove a service the installer did not make. One that
// does not exist is removed already.
bool removeClientService(ServiceManagerConnection &connection, const std::string &service) {
  ServiceConfiguration config;
  if (Result queried = connection.queryConfiguration(service.c_str(), config); !queried) {
    if (queried.failedWith(ERROR_SERVICE_DOES_NOT_EXIST))
      return true;
    g_log.writeFailure(queried);
    std::printf("  Unable to delete service, %s\n", g_log.seeLog().c_str());
    return false;
  }
  if (!isHostedByServiceHost(config.binaryPath)) {
    std::printf("  %s is not a srvany.exe service, left in place\n", service.c_str());
    return false;
  }
  Result removed = connection.deleteService(service.c_str());
  g_log.writeFailure(removed);
  if (removed)
    return true;
  if (removed.failedWith(ERROR_SERVICE_REQUEST_TIMEOUT))
    std::printf("  Service did not stop within 30 s, removed when it stops\n");
  else
    std::printf("  Unable to delete service, %s\n", g_log.seeLog().c_str());
  return false;
}

} // namespace

bool installConfiguration(ServiceManagerConnection &connection,
                          const std::optional<std::string> &configuration) {
  std::optional<ConfigurationWork> work = workOn(configuration, "Installing");
  if (!work)
    return false;
  bool result = !work->services.empty();
  for (const std::string &service : work->services)
    result = installClientService(connection, work->file, service) && result;
  return result;
}

bool installClientService(ServiceManagerConnection &connection, const IniFile &file,
                          const std::string &service) {
  ClientPlan plan = planClientService(file, service, {fullPathLogged, isFile});
  printLines(plan.lines);
  if (plan.refused)
    return false;
  Expected<std::string> host = provideHost(plan.directory);
  g_log.writeFailure(host.result());
  if (!host)
    return false;
  const std::string &hostPath = *host;
  // The service runs as LocalSystem: no ordinary user may replace its
  // programs, put files beside them or folders in the place of those above.
  if (!onlyTrustedCanChange({hostPath, plan.application}, "service not installed", "  "))
    return false;
  // Quoted: unquoted, a path with blanks ("C:\Program Files\...") would let
  // the service manager try "C:\Program.exe" first.
  std::string binaryPath = "\"" + hostPath + "\"";
  if (Result created =
          connection.createService(service.c_str(), plan.display.c_str(), binaryPath.c_str(),
                                   plan.description.c_str(), false);
      !created) {
    g_log.writeFailure(created);
    std::printf("  Unable to create service, %s\n", g_log.seeLog().c_str());
    return false;
  }
  Result written =
      writeHostParameters(service, {plan.directory, plan.application, plan.parameters});
  if (written)
    return true;
  g_log.writeFailure(written);
  const std::string &failedAt = written.subject();
  if (failedAt.empty())
    std::printf("  Unable to configure service in Registry\n");
  else if (failedAt == kParametersKey)
    std::printf("  Unable to create Parameters key in Registry\n");
  else
    std::printf("  Unable to create value %s in Registry\n", failedAt.c_str());
  return false;
}

bool uninstallConfiguration(ServiceManagerConnection &connection,
                            const std::optional<std::string> &configuration) {
  std::optional<ConfigurationWork> work = workOn(configuration, "Desinstalling");
  if (!work)
    return false;
  bool result = !work->services.empty();
  for (const std::string &service : work->services) {
    std::printf(" Desinstalling service %s\n", service.c_str());
    result = removeClientService(connection, service) && result;
  }
  return result;
}

bool runInstallConfiguration(const std::optional<std::string> &configuration) {
  std::printf("Installing Folding@Home as a service...\n");
  ServiceManagerConnection connection;
  return installConfiguration(connection, configuration);
}

bool runUninstallConfiguration(const std::optional<std::string> &configuration) {
  std::printf("Desinstalling Folding@Home as a service...\n");
  ServiceManagerConnection connection;
  return uninstallConfiguration(connection, configuration);
}
