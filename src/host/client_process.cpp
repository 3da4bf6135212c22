#include "host/client_process.h"

#include "host/host_parameters.h"
#include "host/host_service.h"

#include <vector>

namespace {

BOOL CALLBACK closeWindowOf(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId))
    PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

} // namespace

Result ClientProcess::start(const HostParameters &parameters) {
  job_.reset(CreateJobObjectA(nullptr, nullptr));
  if (!job_)
    return Result::failure(GetLastError(), "CreateJobObject");
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof(limits)))
    return Result::failure(GetLastError(), "SetInformationJobObject");

  std::string text = buildCommandLine(parameters.application, parameters.parameters);
  std::vector<char> commandLine(text.begin(), text.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  // Suspended until it is in the job, so nothing it starts escapes. It
  // shares the host's console and process group: a console event reaches
  // only the sender's console, and a new group would ignore Ctrl+C.
  if (!CreateProcessA(parameters.application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED, nullptr, parameters.directory.c_str(), &startup, &info)) {
    DWORD error = GetLastError();
    auto exists = [](const std::string &path) {
      return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    bool directory = exists(parameters.directory), application = exists(parameters.application);
    std::string missing = !directory && !application ? ": directory and application do not exist"
                          : !directory               ? ": directory does not exist"
                          : !application             ? ": application does not exist"
                                                     : "";
    return Result::failure(error, "CreateProcess")
        .about(text + " in " + parameters.directory + missing);
  }
  process_.reset(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  processId_ = info.dwProcessId;
  if (!AssignProcessToJobObject(job_.get(), process_.get())) {
    DWORD error = GetLastError();
    TerminateProcess(process_.get(), 1);
    return Result::failure(error, "AssignProcessToJobObject");
  }
  ResumeThread(thread.get());
  hostTrace(service_, "started " + text);
  return Result();
}

// To every process of the host's console, the host included (its handler
// takes it).
void ClientProcess::sendConsoleEvent(DWORD event) const {
  if (!GenerateConsoleCtrlEvent(event, 0))
    hostTrace(service_, "GenerateConsoleCtrlEvent " + std::to_string(event) + ": error " +
                            std::to_string(GetLastError()));
}

void ClientProcess::stop(DWORD graceMs) {
  if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) {
    // Ctrl+C first, the event console programs handle; Ctrl+Break only to
    // one still there halfway, as its default handler would cut short a
    // clean end begun on Ctrl+C.
    sendConsoleEvent(CTRL_C_EVENT);
    EnumWindows(closeWindowOf, static_cast<LPARAM>(processId_));
    if (WaitForSingleObject(process_.get(), graceMs / 2) != WAIT_OBJECT_0) {
      sendConsoleEvent(CTRL_BREAK_EVENT);
      if (WaitForSingleObject(process_.get(), graceMs - graceMs / 2) != WAIT_OBJECT_0)
        hostTrace(service_, "application did not end when asked; terminating it");
    }
  }
  // Whatever the application started goes too.
  if (!TerminateJobObject(job_.get(), 1) && WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0)
    hostFailure(service_, Result::failure(GetLastError(), "TerminateJobObject"));
  WaitForSingleObject(process_.get(), graceMs);
}

DWORD ClientProcess::exitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}
