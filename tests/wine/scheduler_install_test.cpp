// "-install" / "-desinstall" of the real Qvn.exe, run from another
// directory by a relative name without ".exe", as a person might type it:
// the service "Qvn" and the event source "Quorvane".
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

// The message file the event source names; empty when there is no source.
std::string eventMessageFile() {
  char value[MAX_PATH] = "";
  DWORD size = sizeof value - 1;
  RegGetValueA(HKEY_LOCAL_MACHINE,
               "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quorvane",
               "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &size);
  return value;
}

TEST(SchedulerInstall, RegistersTheRunningProgramStartsItAndRemovesIt) {
  const std::string binDir = "C:\\qvn sched\\bin dir", otherDir = "C:\\qvn sched\\other";
  for (const std::string &dir : {std::string("C:\\qvn sched"), binDir, otherDir})
    CreateDirectoryA(dir.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(programPath("Qvn.exe").c_str(), (binDir + "\\Qvn.exe").c_str(), FALSE));
  ServiceCleanup qvn("Qvn");
  // A relative program name is found from the caller's own directory.
  char previous[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(otherDir.c_str()));
  auto runCopy = [&](const char *option) {
    return run("\"..\\bin dir\\Qvn\" " + std::string(option));
  };

  FileTail log;
  RunResult r = runCopy("-install");
  EXPECT_EQ(r.output, kBanner + "Installing Quorvane service...\r\n");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(eventMessageFile(), binDir + "\\Qvn.exe");
  // Wine 8 does not know the delayed start: said, and installed anyway.
  EXPECT_TRUE(log.contains("Delayed automatic start not known to this system: Qvn starts with"
                           " the other automatic services\r\n"))
      << log.text();
  ServiceConfig config = queryServiceConfig("Qvn");
  EXPECT_EQ(config.binaryPath, "\"" + binDir + "\\Qvn.exe\" -service");
  EXPECT_EQ(config.startType, DWORD(SERVICE_AUTO_START));
  EXPECT_EQ(config.displayName, "Qvn");
  EXPECT_EQ(config.description, "Run services at desired time");
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));

  // Registered already: a failure, said on the console, reason in the log.
  log.mark();
  r = runCopy("-install");
  EXPECT_EQ(r.output, kBanner + "Installing Quorvane service...\r\n"
                                "Unable to install Quorvane service, see C:\\Qvn.log\r\n");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(log.text(), logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS));

  DWORD pid = serviceProcessId("Qvn");
  for (int i = 0; i < 2; ++i) { // the second time there is nothing to remove
    r = runCopy("-desinstall");
    EXPECT_EQ(r.output, kBanner + "Desinstalling Quorvane service...\r\n");
    EXPECT_EQ(r.exitCode, 0u);
  }
  EXPECT_TRUE(waitForServiceGone("Qvn"));
  EXPECT_TRUE(waitForProcessEnd(pid));
  EXPECT_EQ(eventMessageFile(), "");
  SetCurrentDirectoryA(previous);
}

} // namespace
