// Process entry: banner, then the role or operation the first argument names.
#include "app/command_line.h"
#include "app/hold_command.h"
#include "app/test_command.h"
#include "install/client_installer.h"
#include "install/scheduler_registration.h"
#include "log/diagnostic_log.h"
#include "scheduler/service_runtime.h"

int main(int argc, char *argv[]) {
  printBanner();
  Invocation invocation = parseCommandLine(argc, argv);
  // Someone watches a console run: what cannot reach the log is shown there.
  if (invocation.command != Command::Service)
    g_log.setStandardErrorFallback(true);
  switch (invocation.command) {
  case Command::Missing:
    printUsage();
    return 1;
  case Command::Unknown:
    printUsage();
    return 0;
  case Command::Test:
    return reportSchedule(invocation.argument) ? 0 : 1;
  case Command::Service:
    return runDispatcher() ? 0 : 1;
  case Command::InstallFah:
    return runInstallConfiguration(invocation.argument) ? 0 : 1;
  case Command::DesinstallFah:
    return runUninstallConfiguration(invocation.argument) ? 0 : 1;
  case Command::Install:
    return installScheduler() ? 0 : 1;
  case Command::Desinstall:
    return uninstallScheduler() ? 0 : 1;
  case Command::Hold:
    return holdService(invocation.argument, invocation.more) ? 0 : 1;
  case Command::Release:
    return releaseService(invocation.argument) ? 0 : 1;
  }
  return 0;
}
