// Registering and removing the client services of a configuration of the
// installer file, each hosted by srvany.exe. Progress and configuration
// errors go to standard output; service manager failures to the log.
#pragma once

#include "config/ini_file.h"
#include "scm/service_manager_connection.h"

#include <optional>
#include <string>

// Installs every service the configuration lists (the first configuration
// when none is named). True only if it lists any and every one was installed.
bool installConfiguration(ServiceManagerConnection &connection,
                          const std::optional<std::string> &configuration);
// Plans one client service and says the plan; unless it is refused,
// registers the service on demand, provides its host and writes the host's
// values. Nothing done before a failure is undone.
bool installClientService(ServiceManagerConnection &connection, const IniFile &file,
                          const std::string &service);
// Stops and deletes the services the configuration lists that srvany.exe
// hosts; any other service is left as it is, said on the console. The host
// copies stay. True only if it lists any and every one of them is removed.
bool uninstallConfiguration(ServiceManagerConnection &connection,
                            const std::optional<std::string> &configuration);

// "-install_fah" / "-desinstall_fah": heading, then the operation over one
// connection. The operation's result.
bool runInstallConfiguration(const std::optional<std::string> &configuration);
bool runUninstallConfiguration(const std::optional<std::string> &configuration);
