#include "install/client_installer.h"

#include "common/names.h"
#include "config/ini_file.h"
#include "config/ini_reader.h"
#include "host/host_parameters.h"
#include "install/binary_guard.h"
#include "install/install_config.h"
#include "install/install_files.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <cstdio>

namespace {

// The installer file, or none (after a line saying why) when Windows would
// not read it as written: unreadable, or a UTF-8 mark that its profile
// functions take for part of the first line.
std::optional<IniFile> readInstallFile() {
  IniFile file = *readIniFile(kInstallFile);
  if (file.state == IniFile::State::Unreadable) {
    std::printf("%s cannot be read: %s\n", kInstallFile, file.whyUnreadable.c_str());
    return std::nullopt;
  }
  if (file.utf8Mark) {
    std::printf("%s starts with a UTF-8 byte-order mark, which Windows does not read: save it as "
                "ANSI or Unicode\n",
                kInstallFile);
    return std::nullopt;
  }
  return file;
}

// What "-install_fah" / "-desinstall_fah" work on: the installer file and
// the services of the configuration given (else the first), after the line
// naming it ("<verb> configuration <name>"). None (after a line saying why)
// when the file cannot be used or no configuration is named or listed; no
// services (after a line saying so) when it lists none.
struct Work {
  IniFile file;
  std::vector<std::string> services;
};
std::optional<Work> workOn(const std::optional<std::string> &configuration, const char *verb) {
  std::optional<IniFile> file = readInstallFile();
  if (!file)
    return std::nullopt;
  std::string name = chooseConfigurationName(configuration, *file);
  if (name.empty()) {
    std::printf("No configuration name found\n");
    return std::nullopt;
  }
  std::printf("%s configuration %s\n", verb, name.c_str());
  std::vector<std::string> services = configurationServices(*file, name);
  if (services.empty())
    std::printf("Configuration %s not found or empty in .\\Qvn_install.ini\n", name.c_str());
  return Work{std::move(*file), std::move(services)};
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

const char *yesNo(bool flag) { return flag ? "yes" : "no"; }

} // namespace

bool installConfiguration(ServiceManagerConnection &connection,
                          const std::optional<std::string> &configuration) {
  std::optional<Work> work = workOn(configuration, "Installing");
  if (!work)
    return false;
  bool result = !work->services.empty();
  for (const std::string &service : work->services)
    result = installClientService(connection, work->file, service) && result;
  return result;
}

bool installClientService(ServiceManagerConnection &connection, const IniFile &file,
                          const std::string &service) {
  std::printf(" Installing service %s\n", service.c_str());
  ClientSettings settings = clientSettings(file, service);
  std::string directory = settings.directory;
  if (directory.empty()) {
    std::printf("Directory not configured\n");
    return false;
  }
  // Made full now: the service does not run in this directory.
  Expected<std::string> full = fullPathOf(directory);
  if (!full) {
    g_log.writeFailure(full.result());
    std::printf("  Error GetFullPathName\n");
    return false;
  }
  directory = *full;
  std::printf("  Directory: %s\n", directory.c_str());
  const std::string &executable = settings.executable;
  if (executable.empty()) {
    std::printf("ExecutableName not configured\n");
    return false;
  }
  std::printf("  Executable: %s\n", executable.c_str());
  // Not a failure: the client may be copied there later.
  std::string application = directory + "\\" + executable;
  if (!isFile(application))
    std::printf("  Warning: %s not found, the service needs it to start\n", application.c_str());

  std::printf("  Use forceasm: %s\n", yesNo(settings.forceAsm));
  std::printf("  Use advmethods: %s\n", yesNo(settings.advMethods));
  if (!settings.useBeta.empty())
    std::printf("  Use beta: %s\n", yesNo(isFlagSet(settings.useBeta)));
  const std::string &description = settings.description;
  if (!description.empty())
    std::printf("  Description: %s\n", description.c_str());

  Expected<std::string> host = provideHost(directory);
  g_log.writeFailure(host.result());
  if (!host)
    return false;
  const std::string &hostPath = *host;
  // The service runs as LocalSystem: no ordinary user may replace its
  // programs, put files beside them or folders in the place of those above.
  if (!onlyTrustedCanChange({hostPath, application}, "service not installed", "  "))
    return false;
  // Quoted: unquoted, a path with blanks ("C:\Program Files\...") would let
  // the service manager try "C:\Program.exe" first.
  std::string binaryPath = "\"" + hostPath + "\"";
  if (Result created = connection.createService(service.c_str(), settings.display.c_str(),
                                                binaryPath.c_str(), description.c_str(), false);
      !created) {
    g_log.writeFailure(created);
    std::printf("  Unable to create service, %s\n", g_log.seeLog().c_str());
    return false;
  }
  Result written =
      writeHostParameters(service, {directory, application, buildAppParameters(settings)});
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
  std::optional<Work> work = workOn(configuration, "Desinstalling");
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
