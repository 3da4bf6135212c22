// The real Qvn.exe registering client configurations, and the real
// srvany.exe hosting the test client, in directories whose paths hold blanks.
#include "common/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qvntest;

namespace {

const std::string kBase = "C:\\qvn test";
const std::string kWork = kBase + "\\work dir";
const std::string kClientA = kBase + "\\client a";
const std::string kClientB = kBase + "\\client b";

std::string hostImage() { return readFile(programPath("srvany.exe")); }

// A "Parameters" value exactly as stored, terminating null included; empty
// when it cannot be read or is not a REG_SZ.
std::string parameter(const std::string &service, const char *value) {
  UniqueHKey key;
  std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + service + "\\Parameters";
  char buffer[2048];
  DWORD size = sizeof(buffer), type = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) ||
      RegQueryValueExA(key.get(), value, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size) ||
      type != REG_SZ)
    return "";
  return std::string(buffer, size);
}

void setParameter(const std::string &service, const char *value, const std::string &data) {
  UniqueHKey key;
  std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + service + "\\Parameters";
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key.put()), 0);
  RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                 static_cast<DWORD>(data.size() + 1));
}

// The test client's record: command line, working directory, process id,
// then "asked to end by ..." once ended politely.
std::vector<std::string> clientRun(const std::string &directory, size_t atLeast = 3) {
  std::vector<std::string> lines;
  waitFor([&] {
    std::string text = readFile(directory + "\\client-run.txt");
    lines.clear();
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
      lines.push_back(text.substr(at, end - at));
    return lines.size() >= atLeast;
  });
  return lines;
}

class ClientInstall : public ::testing::Test {
protected:
  void SetUp() override {
    for (const auto &dir : {kBase, kWork, kClientA, kClientB}) {
      CreateDirectoryA(dir.c_str(), nullptr);
      DeleteFileA((dir + "\\srvany.exe").c_str());
      DeleteFileA((dir + "\\client-run.txt").c_str());
      CopyFileA(programPath("test_client.exe").c_str(), (dir + "\\test_client.exe").c_str(), 0);
    }
    ASSERT_TRUE(writeFile(kWork + "\\srvany.exe", hostImage()));
  }
  // Qvn.exe in the work directory, where it finds ".\Qvn_install.ini".
  RunResult qvn(const std::string &arguments, const std::string &installFile = "") {
    if (!installFile.empty()) {
      EXPECT_TRUE(writeFile(kWork + "\\Qvn_install.ini", installFile));
    }
    return runQvn(arguments, kWork);
  }
  ServiceCleanup a{"QvnFahA"}, b{"QvnFahB"};
};

TEST_F(ClientInstall, InstallsTheServicesOfAConfigurationAndRemovesThem) {
  const std::string file = "[Configurations]\r\npair=QvnFahA,, \tQvnFahB\r\n"
                           "[General]\r\nExecutableName=test_client.exe\r\nUseForceAsm=y\r\n"
                           "Description=Folding client\r\n"
                           "[QvnFahA]\r\nDirectory=" +
                           kClientA +
                           "\r\nUseForceAsm=n\r\n"
                           "UseBeta=y\r\nVerbosity=9\r\nDisplay=Folding A\r\n"
                           "[QvnFahB]\r\nDirectory=" +
                           kClientB +
                           "\r\nUseAdvMethods=y\r\n"
                           "UseBeta=Y\r\nDescription=Second client\r\n";
  // A host already in a client directory is used as it is.
  ASSERT_TRUE(writeFile(kClientB + "\\srvany.exe", "existing host copy"));
  RunResult r = qvn("-install_fah pair", file);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner +
                          "Installing Folding@Home as a service...\r\n"
                          "Installing configuration pair\r\n"
                          " Installing service QvnFahA\r\n"
                          "  Directory: " +
                          kClientA +
                          "\r\n"
                          "  Executable: test_client.exe\r\n"
                          "  Use forceasm: no\r\n"
                          "  Use advmethods: no\r\n"
                          "  Use beta: yes\r\n"
                          "  Description: Folding client\r\n"
                          " Installing service QvnFahB\r\n"
                          "  Directory: " +
                          kClientB +
                          "\r\n"
                          "  Executable: test_client.exe\r\n"
                          "  Use forceasm: yes\r\n"
                          "  Use advmethods: yes\r\n"
                          "  Use beta: no\r\n"
                          "  Description: Second client\r\n");
  ServiceConfig config = queryServiceConfig("QvnFahA");
  EXPECT_EQ(config.binaryPath, "\"" + kClientA + "\\srvany.exe\"");
  EXPECT_EQ(config.startType, DWORD(SERVICE_DEMAND_START));
  EXPECT_EQ(config.displayName, "Folding A");
  EXPECT_EQ(config.description, "Folding client");
  EXPECT_EQ(queryServiceConfig("QvnFahB").displayName, "QvnFahB");
  EXPECT_EQ(readFile(kClientA + "\\srvany.exe"), hostImage());
  EXPECT_EQ(readFile(kClientB + "\\srvany.exe"), "existing host copy");
  const std::string nul(1, '\0');
  EXPECT_EQ(parameter("QvnFahA", "AppDirectory"), kClientA + nul);
  EXPECT_EQ(parameter("QvnFahA", "Application"), kClientA + "\\test_client.exe" + nul);
  EXPECT_EQ(parameter("QvnFahA", "AppParameters"), "-service -local -betateam -verbosity 9" + nul);
  EXPECT_EQ(parameter("QvnFahB", "AppParameters"), "-service -local -forceasm -advmethods" + nul);

  // Again: each registration fails, says so and fails the run.
  r = qvn("-install_fah pair");
  EXPECT_EQ(r.exitCode, 1u);
  size_t first = r.output.find("  Unable to create service, see C:\\Qvn.log\r\n");
  EXPECT_NE(r.output.find("  Unable to create service", first + 1), std::string::npos) << r.output;

  ASSERT_EQ(startServiceWithArgs("QvnFahA"), DWORD(ERROR_SUCCESS));
  std::vector<std::string> client = clientRun(kClientA);
  ASSERT_EQ(client.size(), 3u);
  r = qvn("-desinstall_fah");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner + "Desinstalling Folding@Home as a service...\r\n"
                                "Desinstalling configuration pair\r\n"
                                " Desinstalling service QvnFahA\r\n"
                                " Desinstalling service QvnFahB\r\n");
  EXPECT_TRUE(waitForProcessEnd(std::stoul(client[2])));
  EXPECT_TRUE(waitForServiceGone("QvnFahA") && waitForServiceGone("QvnFahB"));
  EXPECT_EQ(parameter("QvnFahA", "AppDirectory"), "");
  EXPECT_EQ(readFile(kClientA + "\\srvany.exe"), hostImage()); // hosts stay
}

TEST_F(ClientInstall, AFaultyServiceFailsAloneAndTheRunFails) {
  ServiceCleanup noDirectory("QvnNoDirectory"), noExecutable("QvnNoExecutable");
  const std::string file = "[Configurations]\r\nfirst=QvnNoDirectory,QvnNoExecutable,QvnFahA,"
                           "QvnFahB\r\n[General]\r\nDirectory=" +
                           kClientA +
                           "\r\n"
                           "[QvnNoExecutable]\r\nDirectory=" +
                           kClientA +
                           "\r\n"
                           "[QvnFahA]\r\nDirectory=" +
                           kClientA +
                           "\r\n"
                           "ExecutableName=test_client.exe\r\n"
                           "[QvnFahB]\r\nDirectory=" +
                           kClientB +
                           "\r\n"
                           "ExecutableName=test_client.exe\r\n";
  // Client A has a host already; client B would need the work directory's.
  ASSERT_TRUE(writeFile(kClientA + "\\srvany.exe", hostImage()));
  ASSERT_TRUE(DeleteFileA((kWork + "\\srvany.exe").c_str()));
  RunResult r = qvn("-install_fah", file);
  EXPECT_EQ(r.exitCode, 1u);
  for (const char *line : {" Installing service QvnNoDirectory\r\nDirectory not configured\r\n",
                           "ExecutableName not configured\r\n", "  srvany.exe not found\r\n"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line;
  EXPECT_EQ(openServiceError("QvnNoDirectory"), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(openServiceError("QvnNoExecutable"), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(openServiceError("QvnFahA"), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(openServiceError("QvnFahB"), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));

  for (const char *option : {"-install_fah", "-desinstall_fah"}) {
    r = qvn(option, "[General]\r\nExecutableName=test_client.exe\r\n");
    EXPECT_EQ(r.exitCode, 1u) << option;
    EXPECT_NE(r.output.find("service...\r\nNo configuration name found\r\n"), std::string::npos);
  }
}

// Everyone's write entry is how Wine shows a folder's others' write bit.
TEST_F(ClientInstall, AClientDirectoryOrdinaryUsersCanChangeIsRefusedUntilMended) {
  const std::string file = "[Configurations]\r\npair=QvnFahA,QvnFahB\r\n[General]\r\n"
                           "ExecutableName=test_client.exe\r\n[QvnFahA]\r\nDirectory=" +
                           kClientA + "\r\n[QvnFahB]\r\nDirectory=" + kClientB + "\r\n";
  const std::string everyone = "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;";
  ASSERT_TRUE(setAccessList(kClientA, everyone + "0x1301bf;;;WD)"));
  RunResult r = qvn("-install_fah pair", file);
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_NE(r.output.find("  " + kClientA +
                          " can be changed by Everyone: service not installed\r\n"
                          "  Fix: icacls \"" +
                          kClientA +
                          "\" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F"
                          " *S-1-5-32-545:(OI)(CI)RX /remove:g *S-1-1-0\r\n"
                          " Installing service QvnFahB\r\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(openServiceError("QvnFahA"), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(openServiceError("QvnFahB"), DWORD(ERROR_SUCCESS));

  EXPECT_TRUE(setAccessList(kClientA, everyone + "0x1200a9;;;WD)")); // read and execute
  ServiceCleanup again("QvnFahB");
  EXPECT_EQ(qvn("-install_fah pair").exitCode, 0u);
  EXPECT_EQ(openServiceError("QvnFahA"), DWORD(ERROR_SUCCESS));
}

TEST_F(ClientInstall, TheHostRunsTheClientUntilStoppedOrKilledAndStopsWithAReason) {
  ASSERT_EQ(qvn("-install_fah single", "[Configurations]\r\nsingle=QvnFahA\r\n[General]\r\n"
                                       "ExecutableName=test_client.exe\r\nUseForceAsm=y\r\n"
                                       "[QvnFahA]\r\nDirectory=" +
                                           kClientA + "\r\n")
                .exitCode,
            0u);
  ASSERT_EQ(startServiceWithArgs("QvnFahA"), DWORD(ERROR_SUCCESS));
  std::vector<std::string> client = clientRun(kClientA);
  ASSERT_EQ(client.size(), 3u);
  EXPECT_EQ(client[0], "\"" + kClientA + "\\test_client.exe\" -service -local -forceasm");
  EXPECT_EQ(client[1], kClientA);
  EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_RUNNING));
  // A stop asks the client to end, and the service stops once it has.
  ASSERT_EQ(controlService("QvnFahA", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED));
  EXPECT_EQ(clientRun(kClientA, 4).at(3).rfind("asked to end by ", 0), 0u);
  EXPECT_EQ(serviceExitCodes("QvnFahA").first, DWORD(NO_ERROR));

  // The host's own failures: stopped, with a service-specific exit code.
  const struct {
    const char *value, *data;
    DWORD code;
  } failures[] = {{"AppParameters", "--exit-at-once", 3},
                  {"Application", "C:\\no such client.exe", 2},
                  {"Application", "", 1}};
  for (const auto &f : failures) {
    setParameter("QvnFahA", f.value, f.data);
    waitForServiceState("QvnFahA", SERVICE_STOPPED);
    ASSERT_EQ(startServiceWithArgs("QvnFahA"), DWORD(ERROR_SUCCESS)) << f.code;
    EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED)) << f.code;
    EXPECT_EQ(serviceExitCodes("QvnFahA"),
              std::make_pair(DWORD(ERROR_SERVICE_SPECIFIC_ERROR), f.code));
  }

  // A client that will not end: stop-pending while the host waits, then
  // killed. Killing the host takes its client with it too.
  setParameter("QvnFahA", "Application", kClientA + "\\test_client.exe");
  setParameter("QvnFahA", "AppParameters", "--ignore-close");
  for (bool killHost : {false, true}) {
    ASSERT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED));
    DeleteFileA((kClientA + "\\client-run.txt").c_str());
    ASSERT_EQ(startServiceWithArgs("QvnFahA"), DWORD(ERROR_SUCCESS));
    DWORD pid = std::stoul(clientRun(kClientA).at(2));
    ASSERT_TRUE(waitForServiceState("QvnFahA", SERVICE_RUNNING));
    if (killHost) {
      UniqueKernelHandle host(OpenProcess(PROCESS_TERMINATE, FALSE, serviceProcessId("QvnFahA")));
      EXPECT_TRUE(TerminateProcess(host.get(), 9));
    } else {
      ASSERT_EQ(controlService("QvnFahA", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
      EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOP_PENDING, 2000));
    }
    EXPECT_TRUE(waitForProcessEnd(pid));
    EXPECT_EQ(clientRun(kClientA).size(), 3u); // not asked, just ended
  }
}

} // namespace
