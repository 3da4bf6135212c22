// Soak: the scheduler built with a very short check interval runs 2,000
// checks over a few services; its handle count and private bytes after the
// first 100 checks and at the end are reported, and must not grow.
#include "service_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <cstdio>
#include <vector>

using namespace qvntest;

namespace {

size_t countOf(const std::string &text, const std::string &needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++n;
  return n;
}

struct Figures {
  DWORD handles = 0;
  SIZE_T privateBytes = 0;
};

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

// Private bytes: the process's committed private memory (PagefileUsage,
// the same figure as PrivateUsage on Windows; Wine fills only the former).
Figures measure(HANDLE process, DWORD pid) {
  Figures f;
  f.handles = handleCount(pid);
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (GetProcessMemoryInfo(process, &counters, sizeof(counters)))
    f.privateBytes = counters.PagefileUsage;
  return f;
}

TEST(Soak, TwoThousandChecksDoNotGrowHandlesOrMemory) {
  std::string ini = windowsDir() + "\\Qvn.ini";
  removeService("Qvn");
  ServiceCleanup running(uniqueServiceName("QvnSoakRun"));
  ServiceCleanup stopped(uniqueServiceName("QvnSoakStop"));
  ASSERT_TRUE(registerTestService(running.name()));
  ASSERT_TRUE(registerTestService(stopped.name()));
  // Every check queries both real services (forced, already settled) and
  // tries to start one that does not exist (logging the failure each time).
  ASSERT_TRUE(writeFile(ini, "[" + running.name() + "]\r\nForceStart=y\r\n[" + stopped.name() +
                                 "]\r\nStop=0:0000\r\nForceStop=y\r\n[QvnSoakMissing]\r\n"
                                 "ForceStart=y\r\n"));
  ASSERT_EQ(startServiceWithArgs(running.name()), DWORD(ERROR_SUCCESS));

  ASSERT_TRUE(registerService("Qvn", "\"" + programPath("qvn_fast.exe") + "\" -service"));
  ServiceCleanup scheduler("Qvn");

  FileTail log;
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));
  DWORD pid = serviceProcessId("Qvn");
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  ASSERT_NE(process, nullptr);

  auto checks = [&] { return countOf(log.text(), "Check done\r\n"); };
  DWORD start = GetTickCount();
  ASSERT_TRUE(waitFor([&] { return checks() >= 100; }, 120000));
  Figures first = measure(process, pid);
  ASSERT_TRUE(waitFor([&] { return checks() >= 2000; }, 600000));
  Figures last = measure(process, pid);
  size_t done = checks();
  DWORD elapsed = GetTickCount() - start;
  CloseHandle(process);

  std::printf("soak: %u checks in %.1f s over 3 services\n", static_cast<unsigned>(done),
              elapsed / 1000.0);
  std::printf("soak: after 100 checks: %lu handles, %lu KiB private\n",
              static_cast<unsigned long>(first.handles),
              static_cast<unsigned long>(first.privateBytes / 1024));
  std::printf("soak: after %u checks: %lu handles, %lu KiB private\n", static_cast<unsigned>(done),
              static_cast<unsigned long>(last.handles),
              static_cast<unsigned long>(last.privateBytes / 1024));
  EXPECT_GT(first.handles, 0u);
  EXPECT_GT(first.privateBytes, 0u);
  EXPECT_LE(last.handles, first.handles);
  // The heap may settle a little; a leak per check would show as far more.
  EXPECT_LE(last.privateBytes, first.privateBytes + 256 * 1024);

  std::string text = log.text();
  EXPECT_GE(countOf(text, "Starting service QvnSoakMissing"), 1900u);
  DeleteFileA(ini.c_str());
}

} // namespace
