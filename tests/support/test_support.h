// Helpers for tests that drive the real programs and services under Wine:
// run a program and capture its output, files and the log's tail, and
// services read straight from the service control manager.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace qvntest {

// What every run of Qvn.exe prints first, as it reaches a pipe.
inline const std::string kBanner = "\r\nQuorvane v0.2\r\n--------------------\r\n\r\n\r\n";

// A program that sits beside the running test program.
std::string programPath(const char *name);

struct RunResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output; // standard output and standard error, as bytes
};
// Runs a command line (cwd empty: ours) and waits for it, output captured.
RunResult run(const std::string &commandLine, const std::string &cwd = "", DWORD timeoutMs = 60000);
// run() of the Qvn.exe beside the test with the given arguments.
RunResult runQvn(const std::string &arguments, const std::string &cwd = "");

std::string readFile(const std::string &path);
bool writeFile(const std::string &path, const std::string &content);
bool fileExists(const std::string &path);
std::string windowsDir();

// What was appended to a file (the log by default) since construction or
// the last mark, so a test sees only its own entries.
class FileTail {
public:
  explicit FileTail(std::string path = "C:\\Qvn.log");
  void mark();
  std::string text() const;
  bool contains(const std::string &s) const { return text().find(s) != std::string::npos; }

private:
  std::string path_;
  size_t offset_ = 0;
};

// The events the services report, as Wine prints them: the test prefix's
// service manager runs with the event log channel on and its standard
// error in this file, and every service it starts inherits both.
inline const std::string kWineEventLog = "C:\\wine-eventlog.txt";
// The start of the line Wine prints for an event: its type ("trace" for
// information, "warn", "err") and text, which the closing quote follows.
std::string wineEvent(const std::string &type, const std::string &text);
// Whether services' events reach kWineEventLog in this run, found out once
// with a test service that reports one. Not when something other than the
// fixture started the service manager (a tool that restarts Wine between
// runs): its services' events then go where its standard error goes.
bool serviceEventsSeen();

// Polls pred every 50 ms until it holds or timeoutMs has passed.
template <typename Pred> bool waitFor(Pred pred, DWORD timeoutMs = 15000) {
  for (DWORD start = GetTickCount();; Sleep(50)) {
    if (pred())
      return true;
    if (GetTickCount() - start > timeoutMs)
      return false;
  }
}

// The minute of the week of a local time (0: Sunday 00:00).
int minuteOfWeek(const SYSTEMTIME &t);
// "d:HHMM", the schedule token of a minute of the week (taken round the week).
std::string schedulePoint(int minute);

// The user control that makes the test service end whatever its switches.
constexpr DWORD kTestServiceQuit = 200;

struct ServiceConfig {
  bool exists = false;
  DWORD startType = 0;
  std::string binaryPath;
  std::string displayName;
  std::string description; // empty when none is set
};
ServiceConfig queryServiceConfig(const std::string &name);
// The current state (1 stopped ... 7 paused); 0 when it cannot be queried.
DWORD serviceState(const std::string &name);
DWORD serviceProcessId(const std::string &name);
// The controls the service last said it accepts (0 when it cannot be queried).
DWORD serviceControlsAccepted(const std::string &name);
// The exit codes the service last reported: Win32, then service-specific.
std::pair<DWORD, DWORD> serviceExitCodes(const std::string &name);
bool waitForServiceState(const std::string &name, DWORD state, DWORD timeoutMs = 15000);
// The error OpenServiceA gives for name (ERROR_SUCCESS when it opens).
DWORD openServiceError(const std::string &name);
bool waitForServiceGone(const std::string &name, DWORD timeoutMs = 15000);
// Sends control to the service; the system's error, or ERROR_SUCCESS.
DWORD controlService(const std::string &name, DWORD control);
// Starts the service with blank-separated start arguments.
DWORD startServiceWithArgs(const std::string &name, const std::string &args = "");

// True while the process runs: Wine can go on reporting a killed service
// as running, its process tells the truth.
bool processAlive(DWORD pid);
bool waitForProcessEnd(DWORD pid, DWORD timeoutMs = 15000);

// A name no other test or earlier run uses: prefix + process id + counter.
std::string uniqueServiceName(const std::string &prefix);
// The test service's binary path: its quoted full path, then switches.
std::string testServiceCommand(const std::string &switches = "");
// Registers an own-process service directly, named and displayed as name,
// depending on dependsOn when given.
bool registerService(const std::string &name, const std::string &binaryPath,
                     DWORD startType = SERVICE_DEMAND_START, const std::string &dependsOn = "");
bool registerTestService(const std::string &name, const std::string &switches = "");
// Stops the service (ending the test service if it will not stop), deletes
// it and waits until it is gone. True when it is gone.
bool removeService(const std::string &name);

// Removes the named service when the test ends, pass or fail.
class ServiceCleanup {
public:
  explicit ServiceCleanup(std::string name) : name_(std::move(name)) { removeService(name_); }
  ~ServiceCleanup() { removeService(name_); }
  ServiceCleanup(const ServiceCleanup &) = delete;
  ServiceCleanup &operator=(const ServiceCleanup &) = delete;
  const std::string &name() const { return name_; }
  const char *c_str() const { return name_.c_str(); }

private:
  std::string name_;
};

// What a log path may be instead of a plain file: a hard link, a unix
// symbolic link (Wine opens the file it leads to), a folder.
enum class PathShape { HardLink, SymbolicLink, Folder };
// Makes path that shape (a link leading to target); true once it is there.
bool makeShape(const std::string &path, PathShape shape, const std::string &target);
// Removes path, whichever shape it has (a link, not what it leads to).
void removeShape(const std::string &path);
// Sets path's access list from SDDL ("D:(A;OICI;FA;;;SY)..."); under Wine
// Everyone's write sets the others' write bit, and its absence clears it.
bool setAccessList(const std::string &path, const std::string &sddl);

// A log error entry as it lands in the log file: the context line, then
// two blanks and the system's message for code.
std::string logErrorEntry(const std::string &context, DWORD code);

} // namespace qvntest
