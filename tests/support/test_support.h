// Helpers for tests that drive the real programs and services under Wine: runs
// with their output, files, the log's tail, services as the manager sees them.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace qvntest {

// What every run of Qvn.exe prints first, as it reaches a pipe.
inline const std::string kBanner = "\r\nQuorvane v0.2\r\n--------------------\r\n\r\n\r\n";

struct RunResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output; // standard output and standard error, as bytes
  bool has(const std::string &s) const { return output.find(s) != std::string::npos; }
};
// Runs a command line in cwd (empty: ours) and waits for it.
RunResult run(const std::string &commandLine, const std::string &cwd = "", DWORD timeoutMs = 60000);
std::string programPath(const char *name); // beside the running test program
inline RunResult runQvn(const std::string &arguments, const std::string &cwd = "") {
  return run("\"" + programPath("Qvn.exe") + "\" " + arguments, cwd);
}
// "-install" from a copy in the prefix: it refuses a Qvn.exe below a folder ordinary users may
// change, and the build tree may be below one (a clone in /tmp: Wine shows it writable by all).
RunResult runInstall();

std::string readFile(const std::string &path);
bool writeFile(const std::string &path, const std::string &content);
inline bool fileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::string windowsDir();
// The lines, each ended by CRLF.
std::string lines(std::initializer_list<std::string> each);

// What was appended to a file (the log by default) since construction or the last mark.
class FileTail {
public:
  explicit FileTail(std::string path = "C:\\Qvn.log") : path_(std::move(path)) { mark(); }
  void mark() { offset_ = readFile(path_).size(); }
  std::string text() const {
    std::string all = readFile(path_);
    return all.size() > offset_ ? all.substr(offset_) : "";
  }
  bool contains(const std::string &s) const { return text().find(s) != std::string::npos; }

private:
  std::string path_;
  size_t offset_ = 0;
};

// Wine's event log channel of the fixture's service manager and the services it starts.
inline const std::string kWineEventLog = "C:\\wine-eventlog.txt";
// The start of Wine's line for an event: its type ("trace", "warn", "err") and text.
std::string wineEvent(const std::string &type, const std::string &text);
// Whether services' events reach kWineEventLog (only when the fixture started Wine's service
// manager), found out once with a test service.
bool serviceEventsSeen();

template <typename Pred> bool waitFor(Pred pred, DWORD timeoutMs = 15000) {
  for (DWORD start = GetTickCount();; Sleep(50))
    if (pred())
      return true;
    else if (GetTickCount() - start > timeoutMs)
      return false;
}

int minuteOfWeek(const SYSTEMTIME &t); // 0: Sunday 00:00
std::string schedulePoint(int minute); // "d:HHMM", taken round the week

// "<start type> <binary path>, <display name>, <description>"; empty when not queried.
std::string serviceConfig(const std::string &name);
SERVICE_STATUS_PROCESS serviceStatus(const std::string &name); // zeros when not queried
inline DWORD serviceState(const std::string &name) { return serviceStatus(name).dwCurrentState; }
inline DWORD serviceProcessId(const std::string &name) { return serviceStatus(name).dwProcessId; }
inline bool waitForServiceState(const std::string &name, DWORD state, DWORD timeoutMs = 15000) {
  return waitFor([&] { return serviceState(name) == state; }, timeoutMs);
}
bool serviceGone(const std::string &name); // the manager says there is no such service
inline bool waitForServiceGone(const std::string &name, DWORD timeoutMs = 15000) {
  return waitFor([&] { return serviceGone(name); }, timeoutMs);
}
DWORD controlService(const std::string &name, DWORD control); // the system's error
DWORD startServiceWithArgs(const std::string &name,
                           const std::string &args = ""); // blank-separated

// Whether the process runs: Wine can go on reporting a killed service as running.
bool processAlive(DWORD pid);
inline bool waitForProcessEnd(DWORD pid, DWORD timeoutMs = 15000) {
  return waitFor([&] { return !processAlive(pid); }, timeoutMs);
}

// A name no other test or earlier run uses: prefix, process id, counter.
std::string uniqueServiceName(const std::string &prefix);
std::string testServiceCommand(const std::string &switches = ""); // quoted path, switches
bool registerService(const std::string &name, const std::string &binaryPath,
                     DWORD startType = SERVICE_DEMAND_START);
inline bool registerTestService(const std::string &name, const std::string &switches = "",
                                DWORD startType = SERVICE_DEMAND_START) {
  return registerService(name, testServiceCommand(switches), startType);
}
// Stops the service (ending the test service if it will not stop) and deletes it; true once gone.
bool removeService(const std::string &name);

// Removes the named service before and after the test, pass or fail.
class ServiceCleanup {
public:
  explicit ServiceCleanup(std::string name) : name_(std::move(name)) { removeService(name_); }
  ~ServiceCleanup() { removeService(name_); }
  ServiceCleanup(const ServiceCleanup &) = delete;
  ServiceCleanup &operator=(const ServiceCleanup &) = delete;
  const std::string &name() const { return name_; }

private:
  std::string name_;
};

// What a log path may be instead of a plain file; a unix symbolic link Wine opens as its target.
enum class PathShape { HardLink, SymbolicLink, Folder };
bool makeShape(const std::string &path, PathShape shape, const std::string &target);
void removeShape(const std::string &path); // a link, not what it leads to
// Sets path's access list from SDDL; under Wine, Everyone's write is the others' write bit.
bool setAccessList(const std::string &path, const std::string &sddl);

// A log error entry as it lands in the file: the context line, then the system's message.
std::string logErrorEntry(const std::string &context, DWORD code);
size_t count(const std::string &text, const std::string &part); // how often part occurs
bool registerScheduler(); // "Qvn" as the real Qvn.exe -service, started on demand
// The message file the event source "Quorvane" names; empty when there is no source.
std::string eventMessageFile();

} // namespace qvntest
