#include "test_support.h"

#include "common/unique_handle.h"
#include "log/log_entry.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

namespace qvntest {

std::string programPath(const char *name) {
  char self[MAX_PATH * 4] = "";
  std::string path(self, GetModuleFileNameA(nullptr, self, sizeof(self)));
  return path.substr(0, path.find_last_of('\\') + 1) + name;
}

RunResult run(const std::string &commandLine, const std::string &cwd, DWORD timeoutMs) {
  RunResult result;
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  UniqueKernelHandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.put(), writeEnd.put(), &sa, 0))
    return result;
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = si.hStdError = writeEnd.get();
  PROCESS_INFORMATION pi{};
  std::string command = commandLine; // CreateProcessA may write to it
  BOOL ok = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
  writeEnd.reset();
  if (!ok)
    return result;
  UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
  std::thread reader([&] { // so a chatty child never blocks on the pipe
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
      result.output.append(chunk, got);
  });
  if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0)
    TerminateProcess(process.get(), 0xDEAD);
  WaitForSingleObject(process.get(), INFINITE);
  GetExitCodeProcess(process.get(), &result.exitCode);
  reader.join();
  return result;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool writeFile(const std::string &path, const std::string &content) {
  return static_cast<bool>(std::ofstream(path, std::ios::binary) << content);
}

RunResult runInstall() {
  const std::string copy = "C:\\qvn-bin\\Qvn.exe";
  CreateDirectoryA("C:\\qvn-bin", nullptr);
  if (!fileExists(copy)) // one that runs as the service cannot be replaced
    CopyFileA(programPath("Qvn.exe").c_str(), copy.c_str(), TRUE);
  return run("\"" + copy + "\" -install");
}

std::string windowsDir() {
  char buffer[MAX_PATH];
  return std::string(buffer, GetWindowsDirectoryA(buffer, MAX_PATH));
}

std::string lines(std::initializer_list<std::string> each) {
  std::string text;
  for (const std::string &line : each)
    text += line + "\r\n";
  return text;
}

std::string wineEvent(const std::string &type, const std::string &text) {
  std::string line = type + ":eventlog:ReportEventW L\"";
  for (char c : text)
    line += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(c == '"' || c == '\\', '\\') + c;
  return line;
}

bool serviceEventsSeen() {
  static const bool seen = [] {
    ServiceCleanup probe(uniqueServiceName("QvnEventProbe"));
    FileTail events(kWineEventLog);
    bool reported = registerTestService(probe.name(), "--report-event") &&
                    startServiceWithArgs(probe.name()) == ERROR_SUCCESS &&
                    waitFor([&] { return events.contains(probe.name() + " running"); }, 5000);
    if (!reported)
      std::printf("services' events are not seen in %s: event checks left out\n",
                  kWineEventLog.c_str());
    return reported;
  }();
  return seen;
}

int minuteOfWeek(const SYSTEMTIME &t) { return t.wDayOfWeek * 1440 + t.wHour * 60 + t.wMinute; }

std::string schedulePoint(int minute) {
  minute = (minute % 10080 + 10080) % 10080;
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d%02d", minute / 1440, minute % 1440 / 60, minute % 60);
  return text;
}

// The manager handle may close before the service handle; the system allows it.
static UniqueScHandle openService(const std::string &name, DWORD access) {
  UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  return UniqueScHandle(manager ? OpenServiceA(manager.get(), name.c_str(), access) : nullptr);
}

std::string serviceConfig(const std::string &name) {
  UniqueScHandle service = openService(name, SERVICE_QUERY_CONFIG);
  std::vector<BYTE> buffer(8192);
  DWORD needed = 0;
  auto *qsc = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buffer.data());
  if (!service || !QueryServiceConfigA(service.get(), qsc, 8192, &needed))
    return "";
  std::string config = std::to_string(qsc->dwStartType) + " " + qsc->lpBinaryPathName + ", " +
                       qsc->lpDisplayName + ", ";
  auto *desc = reinterpret_cast<SERVICE_DESCRIPTIONA *>(buffer.data());
  if (QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(), 8192,
                           &needed) &&
      desc->lpDescription)
    config += desc->lpDescription;
  return config;
}

SERVICE_STATUS_PROCESS serviceStatus(const std::string &name) {
  SERVICE_STATUS_PROCESS status{};
  UniqueScHandle service = openService(name, SERVICE_QUERY_STATUS);
  DWORD needed = 0;
  if (!service || !QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                        reinterpret_cast<BYTE *>(&status), sizeof(status), &needed))
    status = {};
  return status;
}

bool serviceGone(const std::string &name) {
  return !openService(name, SERVICE_QUERY_STATUS) && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
}

DWORD controlService(const std::string &name, DWORD control) {
  UniqueScHandle service = openService(name, SERVICE_ALL_ACCESS);
  SERVICE_STATUS status{};
  return service && ControlService(service.get(), control, &status) ? ERROR_SUCCESS
                                                                    : GetLastError();
}

DWORD startServiceWithArgs(const std::string &name, const std::string &args) {
  UniqueScHandle service = openService(name, SERVICE_START);
  std::istringstream words(args);
  std::vector<std::string> parts{std::istream_iterator<std::string>(words), {}};
  std::vector<const char *> argv;
  for (const std::string &part : parts)
    argv.push_back(part.c_str());
  return service && StartServiceA(service.get(), static_cast<DWORD>(argv.size()),
                                  argv.empty() ? nullptr : argv.data())
             ? ERROR_SUCCESS
             : GetLastError();
}

bool processAlive(DWORD pid) {
  UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

std::string uniqueServiceName(const std::string &prefix) {
  static unsigned counter = 0;
  return prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

std::string testServiceCommand(const std::string &switches) {
  return "\"" + programPath("test_service.exe") + "\"" + (switches.empty() ? "" : " " + switches);
}

bool registerService(const std::string &name, const std::string &binaryPath, DWORD startType) {
  UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  return manager && UniqueScHandle(CreateServiceA(
                        manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                        SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_IGNORE,
                        binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
}

bool removeService(const std::string &name) {
  if (DWORD pid = serviceProcessId(name); processAlive(pid)) {
    controlService(name, SERVICE_CONTROL_STOP);
    if (!waitForProcessEnd(pid, 2500)) {
      controlService(name, 200); // the test service's own quit
      waitForProcessEnd(pid, 5000);
    }
  }
  if (UniqueScHandle service = openService(name, DELETE))
    DeleteService(service.get());
  return waitForServiceGone(name, 5000);
}

// Wine's own export: the unix path of a Windows path.
static std::string unixPath(const std::string &path) {
  using ToUnix = char *(CDECL *)(const WCHAR *);
  auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void *>(
      GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  std::wstring wide(path.begin(), path.end());
  char *unix = toUnix ? toUnix(wide.c_str()) : nullptr;
  std::string result = unix ? unix : "";
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

bool makeShape(const std::string &path, PathShape shape, const std::string &target) {
  removeShape(path);
  if (shape == PathShape::HardLink)
    return CreateHardLinkA(path.c_str(), target.c_str(), nullptr);
  if (shape == PathShape::Folder)
    return CreateDirectoryA(path.c_str(), nullptr);
  // Wine starts unix programs too, but does not wait for them.
  run("Z:\\bin\\ln -s \"" + unixPath(target) + "\" \"" + unixPath(path) + "\"");
  return waitFor([&] { return fileExists(path); }, 5000);
}

void removeShape(const std::string &path) {
  // Wine's DeleteFile of a unix symbolic link deletes the file it leads to.
  if (fileExists(path))
    run("Z:\\bin\\rm -rf \"" + unixPath(path) + "\"");
  waitFor([&] { return !fileExists(path); }, 5000);
}

bool setAccessList(const std::string &path, const std::string &sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                  &descriptor, nullptr) &&
             GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
             SetNamedSecurityInfoA(const_cast<char *>(path.c_str()), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                                   nullptr) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return set;
}

std::string logErrorEntry(const std::string &context, DWORD code) {
  char *text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
  std::string message = text ? text : "";
  LocalFree(text);
  return fileText(errorEntry(context.c_str(), message));
}

size_t count(const std::string &text, const std::string &part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

bool registerScheduler() {
  return registerService("Qvn", "\"" + programPath("Qvn.exe") + "\" -service");
}

std::string eventMessageFile() {
  char value[MAX_PATH] = "";
  DWORD size = sizeof value - 1;
  RegGetValueA(HKEY_LOCAL_MACHINE,
               "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quorvane",
               "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &size);
  return value;
}

} // namespace qvntest
