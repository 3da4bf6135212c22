// srvany.exe: the service host of client services. The service manager
// starts it; it runs the application its service's registry values name.
#include "host/host_service.h"
#include "log/event_log.h"

#include <cstdio>

namespace {

// Console events reach the host only through the console it shares with the
// application; the service manager, not the console, tells it when to end.
BOOL WINAPI ignoreConsoleEvent(DWORD) { return TRUE; }

} // namespace

int main() {
  // The host's only role is a service: its failures go to the event log too.
  g_log.setEventSink(eventLogSink());
  // A console of its own, shared with the application so that it can be
  // sent Ctrl+C. The host takes the events through a handler, which children
  // do not inherit; an "ignore Ctrl+C" it may have inherited would pass on
  // to the application, so it is cleared.
  AllocConsole();
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(ignoreConsoleEvent, TRUE);
  // A host runs one service in its own process: the name in the table is
  // not used for matching, the service entry takes the real one.
  char name[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{name, hostServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) {
    DWORD error = GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
      std::fputs("srvany.exe is a service host installed by Qvn -install_fah;"
                 " only the service manager starts it\n",
                 stderr);
    else
      hostFailure("", Result::failure(error, "StartServiceCtrlDispatcher"));
    return 1;
  }
  return 0;
}
