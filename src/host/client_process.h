// The application a host service runs: started in its directory inside a
// job object that kills it (and anything it starts) when the host ends, and
// ended on request politely first, then by force.
#pragma once

#include "common/unique_handle.h"
#include "host/host_parameters.h"

#include <string>

class ClientProcess {
public:
  explicit ClientProcess(std::string service) : service_(std::move(service)) {}

  // Fails when the job or the process could not be created; the
  // CreateProcess failure's subject names the command line, the directory
  // and which of them does not exist.
  Result start(const HostParameters &parameters);
  // Signalled when the application has exited.
  HANDLE processHandle() const { return process_.get(); }
  // Asks the application to end (Ctrl+C to the console it shares with the
  // host and WM_CLOSE to its windows; Ctrl+Break after half of graceMs),
  // waits up to graceMs in all, then ends the whole job and waits for the
  // application to be gone.
  void stop(DWORD graceMs);
  // The application's exit code, once it has exited.
  DWORD exitCode() const;

private:
  void sendConsoleEvent(DWORD event) const;

  std::string service_;
  UniqueKernelHandle job_;
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
};
