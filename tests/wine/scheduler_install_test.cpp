// "-install" / "-desinstall" of the real Qvn.exe, run from another
// directory by a relative name without ".exe", as a person might type it.
#include "service_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

const std::string kBinDir = "C:\\qvn sched\\bin dir";
const std::string kOtherDir = "C:\\qvn sched\\other";

class SchedulerInstall : public ::testing::Test {
protected:
  void SetUp() override {
    removeService("Qvn");
    DeleteFileA((windowsDir() + "\\Qvn.ini").c_str());
    CreateDirectoryA("C:\\qvn sched", nullptr);
    CreateDirectoryA(kBinDir.c_str(), nullptr);
    CreateDirectoryA(kOtherDir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(programPath("Qvn.exe").c_str(), (kBinDir + "\\Qvn.exe").c_str(), FALSE));
    // A relative program name is found from the caller's directory.
    GetCurrentDirectoryA(MAX_PATH, previous_);
    ASSERT_TRUE(SetCurrentDirectoryA(kOtherDir.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryA(previous_);
    removeService("Qvn");
  }
  RunResult qvn(const char *option) { return run("\"..\\bin dir\\Qvn\" " + std::string(option)); }

  char previous_[MAX_PATH] = {};
};

TEST_F(SchedulerInstall, InstallRegistersTheRunningProgramAndStartsIt) {
  RunResult r = qvn("-install");
  EXPECT_EQ(r.output, kBanner + "Installing Quorvane service...\r\n");
  EXPECT_EQ(r.exitCode, 0u);

  ServiceConfig config = queryServiceConfig("Qvn");
  ASSERT_TRUE(config.exists);
  EXPECT_EQ(config.binaryPath, "\"" + kBinDir + "\\Qvn.exe\" -service");
  EXPECT_EQ(config.serviceType, DWORD(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(config.startType, DWORD(SERVICE_AUTO_START));
  EXPECT_EQ(config.displayName, "Qvn");
  EXPECT_EQ(config.description, "Run services at desired time");
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));

  // Registered already: a failure, said on the console, reason in the log.
  FileTail log;
  r = qvn("-install");
  EXPECT_EQ(r.output, kBanner + "Installing Quorvane service...\r\n"
                                "Unable to install Quorvane service, see C:\\Qvn.log\r\n");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_NE(log.text().find(logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS)),
            std::string::npos)
      << log.text();
  EXPECT_EQ(queryServiceConfig("Qvn").binaryPath, config.binaryPath);

  DWORD pid = serviceProcessId("Qvn");
  ASSERT_NE(pid, 0u);
  r = qvn("-desinstall");
  EXPECT_EQ(r.output, kBanner + "Desinstalling Quorvane service...\r\n");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(waitForServiceGone("Qvn"));
  EXPECT_TRUE(waitForProcessEnd(pid, 5000));

  // Nothing left to remove: still only the heading, and success.
  r = qvn("-desinstall");
  EXPECT_EQ(r.output, kBanner + "Desinstalling Quorvane service...\r\n");
  EXPECT_EQ(r.exitCode, 0u);
}

} // namespace
