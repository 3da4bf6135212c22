// Deploying to many machines: the Windows Installer packages under Wine's msiexec (installed
// silently, "Qvn" registered as -install registers it; upgraded from a lower version with the
// schedule, the log and a client service left alone; a downgrade refused; removed; a failed
// registration undone), and a Qvn.ini pushed to a running scheduler.
#include "common/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>

using namespace qvntest;

namespace {

const std::string kFolder = [] {
  char folder[MAX_PATH] = ""; // the 32-bit one for a 32-bit program, as for its package
  GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
  return std::string(folder) + "\\Quorvane";
}();
const char *const kFiles[] = {"Qvn.exe", "srvany.exe", "user-guide.txt", "Qvn.ini",
                              "Qvn_install.ini"};

std::string package(const char *name) {
  char full[MAX_PATH] = "";
  GetFullPathNameA(programPath(name).c_str(), MAX_PATH, full, nullptr);
  return full;
}
const std::string kRelease = package("..\\" QVN_PACKAGE), kOlder = package(QVN_OLDER_PACKAGE);

DWORD msiexec(const std::string &arguments) {
  DWORD start = GetTickCount();
  DWORD code = run("msiexec " + arguments + " /qn", "", 120000).exitCode;
  std::printf("msiexec %s: %lu in %lu ms\n", arguments.c_str(), code, GetTickCount() - start);
  return code;
}

// The Add/Remove Programs entries named Quorvane: their versions.
std::multiset<std::string> installedVersions() {
  std::multiset<std::string> versions;
  const char *uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  std::set<std::string> seen;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    UniqueHKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall, 0, KEY_READ | view, key.put()))
      continue;
    char name[256], value[256];
    for (DWORD i = 0, size = sizeof name;
         !RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr);
         ++i, size = sizeof name) {
      DWORD length = sizeof value;
      if (seen.insert(name).second &&
          !RegGetValueA(key.get(), name, "DisplayName", RRF_RT_REG_SZ, nullptr, value, &length) &&
          std::string(value) == "Quorvane" &&
          !RegGetValueA(key.get(), name, "DisplayVersion", RRF_RT_REG_SZ, nullptr, value,
                        &(length = sizeof value)))
        versions.insert(value);
    }
  }
  return versions;
}

bool eventSourceExists() {
  UniqueHKey key;
  return !RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quorvane", 0,
                        KEY_READ, key.put());
}

class Package : public ::testing::Test {
protected:
  void TearDown() override {
    msiexec("/x \"" + kRelease + "\"");
    msiexec("/x \"" + kOlder + "\"");
  }
  ServiceCleanup qvn_{"Qvn"};
};

TEST_F(Package, InstallsUpgradesRefusesADowngradeAndRemoves) {
  ASSERT_EQ(msiexec("/i \"" + kOlder + "\""), DWORD(0));
  ServiceConfig config = queryServiceConfig("Qvn");
  EXPECT_EQ(config.binaryPath, "\"" + kFolder + "\\Qvn.exe\" -service");
  EXPECT_EQ(config.startType, DWORD(SERVICE_AUTO_START));
  EXPECT_EQ(config.description, "Run services at desired time");
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));
  EXPECT_TRUE(eventSourceExists());
  for (const char *file : kFiles)
    EXPECT_TRUE(fileExists(kFolder + "\\" + file)) << file;
  EXPECT_EQ(installedVersions(), std::multiset<std::string>{"0.0.1"});

  // What the upgrade leaves alone: the schedule, the log so far, a client service.
  ServiceCleanup client(uniqueServiceName("QvnPackaged"));
  ASSERT_TRUE(registerTestService(client.name()));
  const std::string ini = windowsDir() + "\\Qvn.ini", schedule = "[" + client.name() + "]\r\n";
  ASSERT_TRUE(writeFile(ini, schedule));
  const std::string log = readFile("C:\\Qvn.log"),
                    clientPath = queryServiceConfig(client.name()).binaryPath;
  const DWORD oldProcess = serviceProcessId("Qvn");
  ASSERT_EQ(msiexec("/i \"" + kRelease + "\""), DWORD(0));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING));
  EXPECT_NE(serviceProcessId("Qvn"), oldProcess); // the old one stopped, the new one started
  EXPECT_FALSE(processAlive(oldProcess));
  EXPECT_EQ(queryServiceConfig("Qvn").binaryPath, config.binaryPath);
  EXPECT_EQ(readFile(ini), schedule);
  EXPECT_EQ(readFile("C:\\Qvn.log").substr(0, log.size()), log);
  EXPECT_EQ(queryServiceConfig(client.name()).binaryPath, clientPath);
  EXPECT_EQ(installedVersions(), std::multiset<std::string>{"0.2"});

  // The same version again changes nothing; a lower one is refused.
  const DWORD process = serviceProcessId("Qvn");
  EXPECT_EQ(msiexec("/i \"" + kRelease + "\""), DWORD(0));
  EXPECT_EQ(msiexec("/i \"" + kOlder + "\""), DWORD(ERROR_INSTALL_FAILURE));
  EXPECT_EQ(serviceProcessId("Qvn"), process);
  EXPECT_EQ(installedVersions(), std::multiset<std::string>{"0.2"});

  ASSERT_EQ(msiexec("/x \"" + kRelease + "\""), DWORD(0));
  EXPECT_TRUE(waitForServiceGone("Qvn"));
  EXPECT_FALSE(eventSourceExists());
  EXPECT_FALSE(fileExists(kFolder));
  EXPECT_TRUE(installedVersions().empty());
  EXPECT_EQ(queryServiceConfig(client.name()).binaryPath, clientPath);
  EXPECT_EQ(readFile(ini), schedule);
  DeleteFileA(ini.c_str());
}

// "Qvn" registered by hand: the installed Qvn.exe cannot register, and the installation
// is undone, leaving that registration as it was.
TEST_F(Package, AFailedRegistrationFailsTheInstallationAndLeavesNothing) {
  ASSERT_TRUE(registerService("Qvn", testServiceCommand()));
  // Windows answers 1603; Wine's msiexec says 1627 (function failed) for a failed action.
  DWORD code = msiexec("/i \"" + kRelease + "\"");
  EXPECT_TRUE(code == ERROR_INSTALL_FAILURE || code == ERROR_FUNCTION_FAILED) << code;
  EXPECT_FALSE(fileExists(kFolder));
  EXPECT_TRUE(installedVersions().empty());
  EXPECT_EQ(queryServiceConfig("Qvn").binaryPath, testServiceCommand());
  EXPECT_TRUE(readFile("C:\\Qvn.log").find("CreateService()") != std::string::npos);
}

// Written in two steps half a second apart, without paramchange: the half (a section without
// points, to be started) is never acted on; the whole (to be stopped) within 5 s.
TEST(LiveSchedule, AnEditedScheduleActsWithinFiveSecondsAndOnlyWhole) {
  ServiceCleanup qvn("Qvn"), client(uniqueServiceName("QvnLive"));
  ASSERT_TRUE(registerTestService(client.name()));
  ASSERT_TRUE(registerService("Qvn", "\"" + programPath("Qvn.exe") + "\" -service"));
  const std::string ini = windowsDir() + "\\Qvn.ini";
  DeleteFileA(ini.c_str());
  FileTail log;
  ASSERT_EQ(startServiceWithArgs("Qvn"), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitFor([&] { return log.contains("Schedule loaded"); }));
  const DWORD start = GetTickCount();
  ASSERT_TRUE(writeFile(ini, "[" + client.name() + "]\r\n"));
  Sleep(500);
  ASSERT_TRUE(writeFile(ini, "[" + client.name() + "]\r\nStop=0:0000\r\n"));
  EXPECT_TRUE(waitFor([&] { return log.contains("Stopping service " + client.name()); }, 5000));
  std::printf("first write to the action: %lu ms\n", GetTickCount() - start);
  Sleep(1500); // a second reload, of either step, would come within this
  EXPECT_FALSE(log.contains("Starting service " + client.name())) << log.text();
  EXPECT_EQ(log.text().find("Schedule reloaded"), log.text().rfind("Schedule reloaded"));
  DeleteFileA(ini.c_str());
}

} // namespace
