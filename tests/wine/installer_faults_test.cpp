// The installer and the host: remove only what they made, report every failure.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

using namespace qvntest;

namespace {

const std::string kWork = "C:\\qvn-faults";
const std::string kHost = kWork + "\\host\\srvany.exe"; // the test service, by the host's name

RunResult qvn(const std::string &arguments) { return runQvn(arguments, kWork); }
bool has(const RunResult &r, const std::string &s) { return r.output.find(s) != std::string::npos; }
void startRunning(const std::string &name) {
  ASSERT_EQ(startServiceWithArgs(name), DWORD(ERROR_SUCCESS)) << name;
  ASSERT_TRUE(waitForServiceState(name, SERVICE_RUNNING)) << name;
}

class InstallerFaults : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char *dir : {"", "\\host", "\\relclient", "\\%SystemRoot%"})
      CreateDirectoryA((kWork + dir).c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(programPath("test_service.exe").c_str(), kHost.c_str(), FALSE));
  }
  static void writeInstallFile(const std::string &text) {
    ASSERT_TRUE(writeFile(kWork + "\\Qvn_install.ini", "[Configurations]\r\n" + text));
  }
};

TEST_F(InstallerFaults, DesinstallFahRemovesOnlyHostedServicesWhateverTheirState) {
  ServiceCleanup paused(uniqueServiceName("QvnFltPaused")), victim(uniqueServiceName("Victim"));
  ASSERT_TRUE(registerService(paused.name(), kHost)); // unquoted, as an older installer wrote it
  ASSERT_TRUE(registerTestService(victim.name()));
  startRunning(paused.name());
  startRunning(victim.name());
  ASSERT_EQ(controlService(paused.name(), SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(paused.name(), SERVICE_PAUSED));
  writeInstallFile("home=" + paused.name() + ", " + victim.name() + ", QvnFltNone\r\n");
  RunResult r = qvn("-desinstall_fah home");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(has(r, "  " + victim.name() + " is not a srvany.exe service, left in place"))
      << r.output;
  EXPECT_EQ(openServiceError(paused.name()), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(serviceState(victim.name()), DWORD(SERVICE_RUNNING));
  EXPECT_EQ(queryServiceConfig(victim.name()).binaryPath, testServiceCommand());
}

TEST_F(InstallerFaults, RemovalWaitsUntilStoppedSoAnInstallRightAfterWorks) {
  ServiceCleanup scheduler("Qvn");
  ASSERT_EQ(qvn("-install").exitCode, 0u);
  ASSERT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));
  DWORD pid = serviceProcessId("Qvn");
  ASSERT_EQ(controlService("Qvn", SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState("Qvn", SERVICE_PAUSED));
  EXPECT_EQ(qvn("-desinstall").exitCode, 0u);
  EXPECT_EQ(openServiceError("Qvn"), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_TRUE(waitForProcessEnd(pid, 5000));
  EXPECT_EQ(qvn("-install").exitCode, 0u);

  // A host that accepts the stop but goes on running: the removal gives up.
  ServiceCleanup stubborn(uniqueServiceName("QvnFltStubborn"));
  ASSERT_TRUE(registerService(stubborn.name(), "\"" + kHost + "\" --ignore-stop"));
  startRunning(stubborn.name());
  writeInstallFile("stubborn=" + stubborn.name() + "\r\n");
  RunResult r = qvn("-desinstall_fah stubborn");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(has(r, "  Service did not stop within 30 s, removed when it stops\r\n")) << r.output;
}

TEST_F(InstallerFaults, InstallFailsWhenTheSchedulerDidNotStartAndKeepsItRegistered) {
  // The manager expands "%SystemRoot%" in the registered path: no such file.
  const std::string dir = kWork + "\\%SystemRoot%";
  ASSERT_TRUE(CopyFileA(programPath("Qvn.exe").c_str(), (dir + "\\Qvn.exe").c_str(), FALSE));
  ServiceCleanup scheduler("Qvn");
  RunResult r = run("\"" + dir + "\\Qvn.exe\" -install");
  EXPECT_EQ(r.output, kBanner + "Installing Quorvane service...\r\n"
                                "Quorvane service installed but not running, see C:\\Qvn.log\r\n");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(queryServiceConfig("Qvn").binaryPath, "\"" + dir + "\\Qvn.exe\" -service");
}

TEST_F(InstallerFaults, InstallRefusesAQvnExeOrdinaryUsersCanChange) {
  const std::string dir = kWork + "\\open";
  CreateDirectoryA(dir.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(programPath("Qvn.exe").c_str(), (dir + "\\Qvn.exe").c_str(), FALSE));
  ASSERT_TRUE(setAccessList(dir + "\\Qvn.exe", "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;WD)"));
  ServiceCleanup scheduler("Qvn");
  RunResult r = run("\"" + dir + "\\Qvn.exe\" -install");
  EXPECT_EQ(r.output, kBanner + "Installing Quorvane service...\r\n" + dir +
                          "\\Qvn.exe can be changed by Everyone: Quorvane service not installed\r\n"
                          "Fix: icacls \"" +
                          dir +
                          "\\Qvn.exe\" /inheritance:r /grant:r *S-1-5-18:F *S-1-5-32-544:F"
                          " *S-1-5-32-545:RX /remove:g *S-1-1-0\r\n");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(openServiceError("Qvn"), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(InstallerFaults, AConfigurationListingNoServiceFails) {
  writeInstallFile("empty=\r\n");
  for (const char *option : {"-install_fah ", "-desinstall_fah "})
    for (const std::string &name : {std::string("empty"), std::string(10000, 'n')}) {
      RunResult r = qvn(option + name);
      EXPECT_EQ(r.exitCode, 1u) << option;
      EXPECT_TRUE(has(r, "Configuration " + name + " not found or empty in .\\Qvn_install.ini"));
    }
}

TEST_F(InstallerFaults, RelativeDirectoryIsMadeFullAndHostFailuresReachTheLog) {
  const std::string dir = kWork + "\\relclient";
  ASSERT_TRUE(writeFile(kWork + "\\srvany.exe", readFile(programPath("srvany.exe"))));
  ServiceCleanup service("QvnFltRel");
  writeInstallFile("rel=QvnFltRel\r\n[QvnFltRel]\r\nDirectory=relclient\r\n"
                   "ExecutableName=test_client.exe\r\nVerbosity=1 --exit-at-once\r\n");
  RunResult r = qvn("-install_fah rel");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(has(r, "  Directory: " + dir + "\r\n")) << r.output;
  EXPECT_TRUE(has(r, "  Warning: " + dir + "\\test_client.exe not found")) << r.output;
  EXPECT_EQ(queryServiceConfig("QvnFltRel").binaryPath, "\"" + dir + "\\srvany.exe\"");
  // A client that is not there, then one that ends at once.
  FileTail log, events(kWineEventLog);
  auto logged = [&](const std::string &s) { return waitFor([&] { return log.contains(s); }); };
  startServiceWithArgs("QvnFltRel");
  EXPECT_TRUE(logged("QvnFltRel: CreateProcess \"" + dir + "\\test_client.exe\"")) << log.text();
  ASSERT_TRUE(waitForServiceState("QvnFltRel", SERVICE_STOPPED));
  ASSERT_TRUE(writeFile(dir + "\\test_client.exe", readFile(programPath("test_client.exe"))));
  startServiceWithArgs("QvnFltRel");
  EXPECT_TRUE(logged("QvnFltRel: application ended by itself, exit code 7\r\n")) << log.text();
  // The host's failures are errors in the event log too.
  EXPECT_TRUE(!serviceEventsSeen() || waitFor([&] {
    return events.contains(wineEvent("err", "QvnFltRel: application ended by itself, exit code 7") +
                           "\"\n");
  })) << events.text();
  r = run("\"" + dir + "\\srvany.exe\"");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output, "srvany.exe is a service host installed by Qvn -install_fah;"
                      " only the service manager starts it\r\n");
}

// Past 2,047 characters a list used to be cut, and its last fragment, here
// the name of another configuration's service, was acted on.
TEST_F(InstallerFaults, ALongListIsReadWholeAndNoCutNameIsActedOn) {
  ASSERT_TRUE(writeFile(kWork + "\\srvany.exe", readFile(programPath("srvany.exe"))));
  ServiceCleanup other("QvnLong");
  std::string list, sections;
  std::vector<std::string> names;
  for (int i = 1; i <= 200; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "QvnLong%04d", i); // 12 characters a name with its comma
    names.push_back(name);
    list += (i > 1 ? "," : "") + names.back();
  }
  for (const std::string &name : names)
    sections += "[" + name + "]\r\nDirectory=relclient\r\n";
  writeInstallFile("long=" + list + "\r\nother=QvnLong\r\n[General]\r\n" +
                   "ExecutableName=test_client.exe\r\n[QvnLong]\r\nDirectory=relclient\r\n" +
                   sections);
  ASSERT_EQ(qvn("-install_fah other").exitCode, 0u);
  RunResult r = qvn("-install_fah long");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(has(r, " Installing service QvnLong0200\r\n"));
  EXPECT_FALSE(has(r, " Installing service QvnLong\r\n"));
  r = qvn("-desinstall_fah long");
  EXPECT_EQ(r.exitCode, 0u);
  int left = 0;
  for (const std::string &name : names)
    left += openServiceError(name) != ERROR_SERVICE_DOES_NOT_EXIST ? removeService(name), 1 : 0;
  EXPECT_EQ(left, 0);
  EXPECT_EQ(openServiceError("QvnLong"), DWORD(ERROR_SUCCESS));

  // Saved as UTF-8 with its mark: Windows would not read the first section.
  ASSERT_TRUE(writeFile(kWork + "\\Qvn_install.ini", "\xEF\xBB\xBF[Configurations]\r\n"
                                                     "other=QvnLong\r\n"));
  for (const char *option : {"-install_fah", "-desinstall_fah"}) {
    r = qvn(option);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(has(r, "service...\r\n.\\Qvn_install.ini starts with a UTF-8 byte-order mark, "
                       "which Windows does not read: save it as ANSI or Unicode\r\n"))
        << r.output;
  }
  EXPECT_EQ(openServiceError("QvnLong"), DWORD(ERROR_SUCCESS));
}

} // namespace
