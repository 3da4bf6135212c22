// Figures of the real Qvn.exe as the service "Qvn" under Wine, printed and
// never judged: handles and private bytes after 100 and 2,000 checks (every
// 2 ms), stop request to process gone, service start to first action, and
// the delay from a point to its action over five points at whole minutes;
// and a schedule of 40,000 points: its read, start to first action, and a
// stop during its load; one section of 20,000 and 100,000 points read, and
// -test on one of 40,000. With "spring" or "fall" (run in Europe/Berlin with
// the clock shifted to just before a daylight-saving change of 2027): what
// it does at the change.
#include "common/unique_handle.h"
#include "config/ini_reader.h"
#include "scheduler/schedule_config.h"
#include "test_support.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qvntest;

namespace {

const std::string kIni = windowsDir() + "\\Qvn.ini";

// Polls every 10 ms (finer than waitFor) and returns the milliseconds it
// took, or -1 on timeout.
template <typename Pred> long timeUntil(Pred pred, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (pred())
      return static_cast<long>(GetTickCount() - start);
    if (GetTickCount() - start > timeoutMs)
      return -1;
    Sleep(10);
  }
}

// Wine answers GetProcessHandleCount with 0, so the handles are counted in
// the system's handle table (NtQuerySystemInformation, class 16).
DWORD handleCount(DWORD pid) {
  struct Entry {
    ULONG pid;
    BYTE type, flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  using Query = LONG(WINAPI *)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(reinterpret_cast<void *>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query)
    return 0;
  std::vector<char> buffer(1 << 20);
  ULONG length = 0;
  LONG status;
  while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &length)) ==
         static_cast<LONG>(0xC0000004))
    buffer.resize(buffer.size() * 2);
  if (status != 0)
    return 0;
  ULONG count = *reinterpret_cast<const ULONG *>(buffer.data());
  const Entry *entries = reinterpret_cast<const Entry *>(buffer.data() + sizeof(ULONG_PTR));
  DWORD n = 0;
  for (ULONG i = 0; i < count; ++i)
    n += entries[i].pid == pid;
  return n;
}

// Handles, and private bytes as the process's committed private memory
// (PagefileUsage, the same figure as PrivateUsage on Windows; Wine fills
// only the former).
void printFigures(const char *when, HANDLE process, DWORD pid) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(process, &counters, sizeof(counters));
  std::printf("bench: after %s checks: %lu handles, %lu KiB private\n", when,
              static_cast<unsigned long>(handleCount(pid)),
              static_cast<unsigned long>(counters.PagefileUsage / 1024));
}

// 2,000 checks every 2 ms over a service to start, two forced ones already
// settled (queried at every check) and a missing one (a failed start and
// its log entry at every check); then a stop.
void soak() {
  ServiceCleanup wanted(uniqueServiceName("QvnBenchStart"));
  ServiceCleanup running(uniqueServiceName("QvnBenchRun"));
  ServiceCleanup stopped(uniqueServiceName("QvnBenchStop"));
  registerTestService(wanted.name());
  registerTestService(running.name());
  registerTestService(stopped.name());
  startServiceWithArgs(running.name());
  writeFile(kIni, "[" + wanted.name() + "]\r\n[" + running.name() + "]\r\nForceStart=y\r\n[" +
                      stopped.name() + "]\r\nStop=0:0000\r\nForceStop=y\r\n[QvnBenchMissing]\r\n" +
                      "ForceStart=y\r\n");
  waitForServiceState(running.name(), SERVICE_RUNNING);
  ServiceCleanup scheduler("Qvn"); // removes any earlier one first
  registerScheduler();
  FileTail log;

  DWORD started = GetTickCount();
  startServiceWithArgs("Qvn", "/interval-ms=2 /trace-checks");
  long firstAction =
      timeUntil([&] { return serviceState(wanted.name()) == SERVICE_RUNNING; }, 30000);
  std::printf("bench: service start to first action (a service running): %ld ms\n", firstAction);
  DWORD pid = serviceProcessId("Qvn");
  UniqueKernelHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid));
  if (!process) {
    std::printf("bench: the scheduler's process cannot be opened\n");
    return;
  }
  auto checks = [&] { return count(log.text(), "Check done\r\n"); };
  timeUntil([&] { return checks() >= 100; }, 120000);
  printFigures("100", process.get(), pid);
  timeUntil([&] { return checks() >= 2000; }, 900000);
  printFigures("2,000", process.get(), pid);
  std::printf("bench: %u checks in %.1f s\n", static_cast<unsigned>(checks()),
              (GetTickCount() - started) / 1000.0);

  controlService("Qvn", SERVICE_CONTROL_STOP);
  DWORD stopAt = GetTickCount();
  WaitForSingleObject(process.get(), 30000);
  std::printf("bench: stop request to process gone: %lu ms\n", GetTickCount() - stopAt);
}

// The release settings; a stop at the current minute, then five points at
// whole minutes, each turning the service the other way. Each delay runs from the start of the
// point's minute until the service is in the state it names.
void pointDelays() {
  ServiceCleanup timed(uniqueServiceName("QvnBenchTimed"));
  registerTestService(timed.name());
  SYSTEMTIME t;
  GetLocalTime(&t);
  int first = minuteOfWeek(t) + (t.wSecond < 50 ? 1 : 2);
  std::string start =
      schedulePoint(first) + ";" + schedulePoint(first + 2) + ";" + schedulePoint(first + 4);
  std::string stop = schedulePoint(minuteOfWeek(t)) + ";" + schedulePoint(first + 1) + ";" +
                     schedulePoint(first + 3);
  writeFile(kIni, "[" + timed.name() + "]\r\nStart=" + start + "\r\nStop=" + stop + "\r\n");
  ServiceCleanup scheduler("Qvn"); // removes any earlier one first
  registerScheduler();
  startServiceWithArgs("Qvn");

  std::vector<long> delays;
  for (int i = 0; i < 5; ++i) {
    DWORD state = i % 2 == 0 ? SERVICE_RUNNING : SERVICE_STOPPED;
    if (timeUntil([&] { return serviceState(timed.name()) == state; }, 130000) < 0) {
      std::printf("bench: point %d: no action within two minutes\n", i + 1);
      return;
    }
    GetLocalTime(&t);
    delays.push_back((minuteOfWeek(t) - (first + i)) * 60000L + t.wSecond * 1000L +
                     t.wMilliseconds);
    std::printf("bench: point %d: %ld ms\n", i + 1, delays.back());
  }
  std::sort(delays.begin(), delays.end());
  std::printf("bench: point to action over 5 points: median %ld ms, max %ld ms\n", delays[2],
              delays[4]);
}

// 400 sections of 100 points each, the first naming a real service that
// its points want running.
void largeSchedule() {
  ServiceCleanup big(uniqueServiceName("QvnBenchBig"));
  registerTestService(big.name());
  std::string content;
  for (int section = 0; section < 400; ++section) {
    std::string start, stop;
    for (int i = 0; i < 50; ++i) {
      start += schedulePoint(section * 7 + i * 199) + ";";
      stop += schedulePoint(section * 7 + i * 199 + 97) + ";";
    }
    content += section ? "[QvnBenchNone" + std::to_string(section) + "]\r\nStart=" + start +
                             "\r\nStop=" + stop + "\r\n"
                       : "[" + big.name() + "]\r\nStart=" + start + stop + "\r\n";
  }
  // The profile functions read a file written in the last two seconds afresh
  // at every call under Wine: both cases.
  for (const char *age : {"just written", "older"}) {
    writeFile(kIni, content);
    if (age[0] == 'o')
      Sleep(2500);
    DWORD start = GetTickCount();
    LoadedSchedule loaded = loadSchedule(*readIniFile("Qvn.ini"), "Qvn");
    std::printf("bench: 40,000 points (%s): read in %lu ms, %u services, %u points\n", age,
                GetTickCount() - start, static_cast<unsigned>(loaded.records.size()),
                static_cast<unsigned>(loaded.points()));
  }
  writeFile(kIni, content);
  ServiceCleanup scheduler("Qvn");
  registerScheduler();
  startServiceWithArgs("Qvn");
  std::printf("bench: 40,000 points: service start to first action: %ld ms\n",
              timeUntil([&] { return serviceState(big.name()) == SERVICE_RUNNING; }, 30000));
  removeService("Qvn");
  registerScheduler();
  startServiceWithArgs("Qvn");
  DWORD pid = serviceProcessId("Qvn");
  controlService("Qvn", SERVICE_CONTROL_STOP);
  std::printf("bench: 40,000 points: stop during the load to process gone: %ld ms\n",
              timeUntil([&] { return !processAlive(pid); }, 30000));
}

// One section of 20,000 and of 100,000 points: its read and load in this
// process; and "Qvn -test" on one of 40,000.
void oneSection() {
  auto section = [](int points) {
    std::string start;
    for (int i = 0; i < points; ++i)
      start += schedulePoint(i * 7) + ";";
    return "[QvnBenchOne]\r\nStart=" + start + "\r\n";
  };
  for (int points : {20000, 100000}) {
    writeFile(kIni, section(points));
    DWORD start = GetTickCount();
    LoadedSchedule loaded = loadSchedule(*readIniFile("Qvn.ini"), "Qvn");
    std::printf("bench: one section of %d points: read in %lu ms, %u points\n", points,
                GetTickCount() - start, static_cast<unsigned>(loaded.points()));
  }
  writeFile(kIni, section(40000));
  DWORD start = GetTickCount();
  runQvn("-test");
  std::printf("bench: -test on one section of 40,000 points: %lu ms\n", GetTickCount() - start);
}

// Milliseconds since 1970 UTC.
long long utcNowMs() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER v{{now.dwLowDateTime, now.dwHighDateTime}};
  return static_cast<long long>(v.QuadPart / 10000) - 11644473600000LL;
}

// The clock changes at 01:00 UTC on 28 March and 31 October 2027; the
// scheduler starts 20 s before. A service is to be stopped at 01:00 and
// started at 02:30. Spring (release settings): 02:30 does not exist; the
// figure is the time from the jump to the service's start. Fall (a check
// every 5 s): the service is started at once (02:59:40 CEST); the figure
// is how often it is stopped in the 30 s after the clock went back to 02:00.
void daylightChange(bool spring) {
  const char *name = spring ? "spring forward" : "fall back";
  const long long change = spring ? 1806195600000LL : 1824944400000LL;
  const long long lead = change - utcNowMs();
  if (lead < 20000 || lead > 600000) {
    std::printf("bench: %s: the clock is %lld s before the change, not 20 s to 10 min\n", name,
                lead / 1000);
    return;
  }
  Sleep(static_cast<DWORD>(lead - 20000));
  ServiceCleanup timed(uniqueServiceName("QvnBenchDst"));
  registerTestService(timed.name());
  writeFile(kIni, "[" + timed.name() + "]\r\nStart=0:0230\r\nStop=0:0100\r\n");
  ServiceCleanup scheduler("Qvn"); // removes any earlier one first
  registerScheduler();
  FileTail log;
  startServiceWithArgs("Qvn", spring ? "" : "/interval-ms=5000");
  if (spring) {
    if (timeUntil([&] { return serviceState(timed.name()) == SERVICE_RUNNING; }, 180000) < 0)
      std::printf("bench: %s: the 02:30 point did not act within 150 s of the jump\n", name);
    else
      std::printf("bench: %s: the 02:30 point acted %lld ms after the jump to 03:00\n", name,
                  utcNowMs() - change);
  } else {
    waitForServiceState(timed.name(), SERVICE_RUNNING, 15000);
    int stops = 0;
    DWORD was = SERVICE_RUNNING;
    timeUntil(
        [&] {
          DWORD now = serviceState(timed.name());
          stops += was == SERVICE_RUNNING && now != SERVICE_RUNNING;
          was = now;
          return utcNowMs() >= change + 30000;
        },
        120000);
    std::printf("bench: %s: started at 02:59:40 CEST, stopped %d time(s) by 02:00:30 CET\n", name,
                stops);
  }
  std::string text = log.text();
  for (size_t at = text.find("Local time"); at != std::string::npos;
       at = text.find("Local time", at + 1))
    std::printf("bench: %s: log: %s\n", name, text.substr(at, text.find('\r', at) - at).c_str());
}

} // namespace

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::string change = argc > 1 ? argv[1] : "";
  if (change == "spring" || change == "fall") {
    daylightChange(change == "spring");
  } else {
    oneSection();
    largeSchedule();
    soak();
    pointDelays();
  }
  DeleteFileA(kIni.c_str());
  return 0;
}
