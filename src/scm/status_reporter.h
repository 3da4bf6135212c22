// The status of one of our services, sent to the service manager by its
// service thread alone, by the rules of service_status.h.
#pragma once

#include "common/result.h"
#include "scm/service_status.h"

#include <windows.h>

// The status of one service, reported by its service thread only: a
// control handler records and signals, so a report never races another.
class StatusReporter {
public:
  explicit StatusReporter(StatusShape shape) : shape_(shape) {}

  // Registers handler for the service name; the status is start pending.
  Result attach(const char *name, LPHANDLER_FUNCTION_EX handler, void *context);
  // Reports state; a pending one with its wait hint. A refused report is
  // narrowed while the manager finds it invalid, else logged.
  void report(DWORD state, DWORD waitHint = 0);
  // Reports stopped, with a service-specific exit code unless 0.
  void reportStopped(DWORD specificCode = 0);
  DWORD state() const { return status_.dwCurrentState; }
  // The shape in force: narrowed for good once the manager refused one.
  StatusShape shape() const { return shape_; }

private:
  StatusShape shape_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  SERVICE_STATUS status_{};
};
