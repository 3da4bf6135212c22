// Deploying to many machines: the Windows Installer packages under Wine's msiexec (installed
// silently, "Qvn" registered as -install registers it; upgraded from a lower version with the
// schedule, the log and a client service left alone; a downgrade refused; removed; a failed
// registration undone), and a Qvn.ini pushed to a running scheduler.
#include "test_support.h"

#include <gtest/gtest.h>
#include <msi.h>

using namespace qvntest;

namespace {

const std::string kFolder = [] {
  char folder[MAX_PATH] = ""; // the 32-bit one for a 32-bit program, as for its package
  GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
  return std::string(folder) + "\\Quorvane";
}();
const std::string kIni = windowsDir() + "\\Qvn.ini";

std::string package(const char *name) {
  char full[MAX_PATH] = "";
  GetFullPathNameA(programPath(name).c_str(), MAX_PATH, full, nullptr);
  return std::string(" \"") + full + "\"";
}
const std::string kRelease = package("..\\" QVN_PACKAGE), kOlder = package(QVN_OLDER_PACKAGE);

DWORD msiexec(const std::string &arguments) {
  DWORD start = GetTickCount(), code = run("msiexec /qn" + arguments, "", 120000).exitCode;
  std::printf("msiexec%s: %lu in %lu ms\n", arguments.c_str(), code, GetTickCount() - start);
  return code;
}

// The installed products' names and versions, as Add/Remove Programs shows them.
std::string installed() {
  std::string all;
  char code[39], name[64], version[64];
  for (DWORD i = 0; MsiEnumProductsA(i, code) == ERROR_SUCCESS; ++i) {
    DWORD nameSize = sizeof name, versionSize = sizeof version;
    if (!MsiGetProductInfoA(code, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name, &nameSize) &&
        !MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, version, &versionSize))
      all += std::string(name) + " " + version + ";";
  }
  return all;
}

class Package : public ::testing::Test {
protected:
  void TearDown() override { msiexec(" /x" + kRelease), msiexec(" /x" + kOlder); }
  ServiceCleanup qvn_{"Qvn"};
};

// First "Qvn" registered by hand: the installed Qvn.exe cannot register, and the installation is
// undone, leaving that registration as it was.
TEST_F(Package, AFailedRegistrationIsUndoneThenItInstallsUpgradesTakesASchedulePushedAndRemoves) {
  ASSERT_TRUE(registerService("Qvn", testServiceCommand()));
  // Windows answers 1603; Wine's msiexec says 1627 (function failed) for a failed action.
  DWORD code = msiexec(" /i" + kOlder);
  EXPECT_TRUE(code == ERROR_INSTALL_FAILURE || code == ERROR_FUNCTION_FAILED) << code;
  EXPECT_TRUE(!fileExists(kFolder) && installed().empty());
  EXPECT_EQ(serviceConfig("Qvn"), "3 " + testServiceCommand() + ", Qvn, ");
  EXPECT_NE(readFile("C:\\Qvn.log").find("CreateService()"), std::string::npos);
  ASSERT_TRUE(removeService("Qvn"));

  ASSERT_EQ(msiexec(" /i" + kOlder), DWORD(0));
  const std::string config = serviceConfig("Qvn");
  EXPECT_EQ(config, // 2: automatic
            "2 \"" + kFolder + "\\Qvn.exe\" -service, Qvn, Run services at desired time");
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING) && eventMessageFile() != "");
  for (const char *file : {"Qvn.exe", "srvany.exe", "user-guide.txt", "Qvn.ini", "Qvn_install.ini"})
    EXPECT_TRUE(fileExists(kFolder + "\\" + file)) << file;
  EXPECT_EQ(installed(), "Quorvane 0.0.1;");

  // Left alone by the upgrade: the schedule, the log so far, a client service.
  ServiceCleanup client(uniqueServiceName("QvnPackaged"));
  ASSERT_TRUE(registerTestService(client.name()) && writeFile(kIni, "; pushed\r\n"));
  const std::string log = readFile("C:\\Qvn.log"), clientPath = testServiceCommand();
  const DWORD oldProcess = serviceProcessId("Qvn");
  FileTail logged;
  ASSERT_EQ(msiexec(" /i" + kRelease), DWORD(0));
  EXPECT_TRUE(waitForServiceState("Qvn", SERVICE_RUNNING) && !processAlive(oldProcess));
  EXPECT_EQ(serviceConfig("Qvn"), config);
  EXPECT_EQ(readFile("C:\\Qvn.log").substr(0, log.size()), log);
  EXPECT_EQ(readFile(kIni), "; pushed\r\n");
  EXPECT_EQ(installed(), "Quorvane 0.2;");

  // A schedule pushed to it in two steps half a second apart, without paramchange: the half (a
  // section without points, to be started) is never acted on; the whole (to be stopped) within 5 s.
  ASSERT_TRUE(waitFor([&] { return logged.contains("Schedule loaded"); }));
  logged.mark();
  const DWORD pushed = GetTickCount();
  ASSERT_TRUE(writeFile(kIni, "[" + client.name() + "]\r\n"));
  Sleep(500);
  const std::string schedule = "[" + client.name() + "]\r\nStop=0:0000\r\n";
  ASSERT_TRUE(writeFile(kIni, schedule));
  EXPECT_TRUE(waitFor([&] { return logged.contains("Stopping service " + client.name()); }, 5000));
  std::printf("first write to the action: %lu ms\n", GetTickCount() - pushed);
  Sleep(1500); // a second reload, of either step, would come within this
  EXPECT_FALSE(logged.contains("Starting service " + client.name())) << logged.text();
  EXPECT_EQ(logged.text().find("Schedule reloaded"), logged.text().rfind("Schedule reloaded"));

  // The same version again changes nothing; a lower one is refused.
  const DWORD process = serviceProcessId("Qvn");
  EXPECT_EQ(msiexec(" /i" + kRelease), DWORD(0));
  EXPECT_EQ(msiexec(" /i" + kOlder), DWORD(ERROR_INSTALL_FAILURE));
  EXPECT_EQ(serviceProcessId("Qvn"), process);
  EXPECT_EQ(installed(), "Quorvane 0.2;");

  ASSERT_EQ(msiexec(" /x" + kRelease), DWORD(0));
  EXPECT_TRUE(waitForServiceGone("Qvn"));
  EXPECT_FALSE(eventMessageFile() != "" || fileExists(kFolder));
  EXPECT_EQ(installed(), "");
  EXPECT_EQ(serviceConfig(client.name()), "3 " + clientPath + ", " + client.name() + ", ");
  EXPECT_EQ(readFile(kIni), schedule);
  DeleteFileA(kIni.c_str());
}

} // namespace
