#include "scheduler/service_runtime.h"

#include "log/diagnostic_log.h"

#include <windows.h>

namespace {

void WINAPI serviceMain(DWORD, LPSTR *) {}

} // namespace

bool runDispatcher() {
  char name[] = "Qvn";
  SERVICE_TABLE_ENTRYA table[] = {{name, serviceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) {
    g_log.writeLastError("StartServiceCtrlDispatcher()");
    return false;
  }
  return true;
}
