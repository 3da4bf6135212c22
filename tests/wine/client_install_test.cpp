// The real Qvn.exe registering client configurations, and the real
// srvany.exe hosting the test client, in directories whose paths hold blanks.
#include "service_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qvntest;

namespace {

const std::string kBase = "C:\\qvn test";
const std::string kWork = kBase + "\\work dir";
const std::string kClientA = kBase + "\\client a";
const std::string kClientB = kBase + "\\client b";
const char *const kServices[] = {"QvnFahA", "QvnFahB", "QvnFahC"};

std::string hostImage() { return readFile(programPath("srvany.exe")); }

// Qvn.exe run with the work directory as its current directory, where it
// finds ".\Qvn_install.ini" and the host to copy.
RunResult qvn(const std::string &arguments) {
  return run("\"" + programPath("Qvn.exe") + "\" " + arguments, kWork);
}

bool startService(const char *name) { return startServiceWithArgs(name) == ERROR_SUCCESS; }
bool stopService(const char *name) {
  return controlService(name, SERVICE_CONTROL_STOP) == ERROR_SUCCESS;
}

struct RegValue {
  LONG rc = -1;
  DWORD type = 0;
  DWORD size = 0;
  std::string data; // as stored, terminating null included
};

RegValue parameter(const char *service, const char *value) {
  RegValue result;
  std::string path =
      std::string("SYSTEM\\CurrentControlSet\\Services\\") + service + "\\Parameters";
  HKEY key = nullptr;
  result.rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (result.rc != ERROR_SUCCESS)
    return result;
  char buffer[2048];
  result.size = sizeof(buffer);
  result.rc = RegQueryValueExA(key, value, nullptr, &result.type, reinterpret_cast<BYTE *>(buffer),
                               &result.size);
  if (result.rc == ERROR_SUCCESS)
    result.data.assign(buffer, result.size);
  RegCloseKey(key);
  return result;
}

// A string value as the installer must store it: REG_SZ, null counted.
void expectString(const char *service, const char *value, const std::string &expected) {
  RegValue got = parameter(service, value);
  EXPECT_EQ(got.rc, ERROR_SUCCESS) << service << " " << value;
  EXPECT_EQ(got.type, static_cast<DWORD>(REG_SZ)) << service << " " << value;
  EXPECT_EQ(got.data, expected + std::string(1, '\0')) << service << " " << value;
}

// The test client's record: command line, working directory, process id,
// and "asked to end by ..." once ended politely.
std::vector<std::string> clientRun(const std::string &directory) {
  std::string text = readFile(directory + "\\client-run.txt");
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

std::vector<std::string> waitForClient(const std::string &directory) {
  std::vector<std::string> lines;
  waitFor([&] { return (lines = clientRun(directory)).size() >= 3; }, 15000);
  return lines;
}

class ClientInstall : public ::testing::Test {
protected:
  void SetUp() override {
    for (const auto &dir : {kBase, kWork, kClientA, kClientB}) {
      CreateDirectoryA(dir.c_str(), nullptr);
      DeleteFileA((dir + "\\srvany.exe").c_str());
      DeleteFileA((dir + "\\client-run.txt").c_str());
    }
    ASSERT_TRUE(writeFile(kWork + "\\srvany.exe", hostImage()));
    for (const auto &dir : {kClientA, kClientB})
      ASSERT_TRUE(CopyFileA(programPath("test_client.exe").c_str(),
                            (dir + "\\test_client.exe").c_str(), FALSE));
  }
  void TearDown() override {
    for (const char *name : kServices)
      removeService(name);
  }
  static void writeInstallFile(const std::string &text) {
    ASSERT_TRUE(writeFile(kWork + "\\Qvn_install.ini", text));
  }
};

// One client service with the test client, for the host's tests.
const std::string kSingleClient = "[Configurations]\r\n"
                                  "single=QvnFahA\r\n"
                                  "[General]\r\n"
                                  "ExecutableName=test_client.exe\r\n"
                                  "UseForceAsm=y\r\n"
                                  "[QvnFahA]\r\n"
                                  "Directory=" +
                                  kClientA +
                                  "\r\n"
                                  "UseBeta=n\r\n";

TEST_F(ClientInstall, InstallsTwoServicesWithTheirOutputRegistrationAndValues) {
  writeInstallFile("[Configurations]\r\n"
                   "pair=QvnFahA,, \tQvnFahB\r\n"
                   "[General]\r\n"
                   "ExecutableName=test_client.exe\r\n"
                   "UseForceAsm=y\r\n"
                   "Description=Folding client\r\n"
                   "[QvnFahA]\r\n"
                   "Directory=" +
                   kClientA +
                   "\r\n"
                   "UseForceAsm=n\r\n"
                   "UseBeta=y\r\n"
                   "Verbosity=9\r\n"
                   "Display=Folding A\r\n"
                   "[QvnFahB]\r\n"
                   "Directory=" +
                   kClientB +
                   "\r\n"
                   "UseAdvMethods=y\r\n"
                   "UseBeta=Y\r\n"
                   "Description=Second client\r\n");
  // A host already in a client directory is used as it is.
  ASSERT_TRUE(writeFile(kClientB + "\\srvany.exe", "existing host copy"));

  RunResult r = qvn("-install_fah pair");
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

  ServiceConfig a = queryServiceConfig("QvnFahA");
  EXPECT_EQ(a.binaryPath, "\"" + kClientA + "\\srvany.exe\"");
  EXPECT_EQ(a.startType, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(a.serviceType & SERVICE_WIN32_OWN_PROCESS,
            static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(a.displayName, "Folding A");
  EXPECT_EQ(a.description, "Folding client");
  ServiceConfig b = queryServiceConfig("QvnFahB");
  EXPECT_EQ(b.binaryPath, "\"" + kClientB + "\\srvany.exe\"");
  EXPECT_EQ(b.startType, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(b.displayName, "QvnFahB");
  EXPECT_EQ(b.description, "Second client");
  for (const char *name : {"QvnFahA", "QvnFahB"})
    EXPECT_EQ(serviceState(name), static_cast<DWORD>(SERVICE_STOPPED)) << name;

  EXPECT_EQ(readFile(kClientA + "\\srvany.exe"), hostImage());
  EXPECT_EQ(readFile(kClientB + "\\srvany.exe"), "existing host copy");

  expectString("QvnFahA", "AppDirectory", kClientA);
  expectString("QvnFahA", "Application", kClientA + "\\test_client.exe");
  expectString("QvnFahA", "AppParameters", "-service -local -betateam -verbosity 9");
  expectString("QvnFahB", "AppDirectory", kClientB);
  expectString("QvnFahB", "Application", kClientB + "\\test_client.exe");
  expectString("QvnFahB", "AppParameters", "-service -local -forceasm -advmethods");

  // Installing again: each registration fails, says so and fails the run.
  FileTail log;
  r = qvn("-install_fah pair");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_NE(r.output.find(" Installing service QvnFahA\r\n"), std::string::npos);
  size_t first = r.output.find("  Unable to create service, see C:\\Qvn.log\r\n");
  ASSERT_NE(first, std::string::npos) << r.output;
  EXPECT_NE(r.output.find("  Unable to create service, see C:\\Qvn.log\r\n", first + 1),
            std::string::npos);
  EXPECT_NE(log.text().find("CreateService()"), std::string::npos) << log.text();
}

TEST_F(ClientInstall, ChoosesTheConfigurationAndStopsOnlyTheFaultyService) {
  writeInstallFile("[Configurations]\r\n"
                   "first=QvnNoDirectory,QvnNoExecutable,QvnFahA,QvnFahB\r\n"
                   "second=QvnFahC\r\n"
                   "[General]\r\n"
                   "Directory=" +
                   kClientA +
                   "\r\n"
                   "[QvnNoExecutable]\r\n"
                   "Directory=" +
                   kClientA +
                   "\r\n"
                   "[QvnFahA]\r\n"
                   "Directory=" +
                   kClientA +
                   "\r\n"
                   "ExecutableName=test_client.exe\r\n"
                   "[QvnFahB]\r\n"
                   "Directory=" +
                   kClientB +
                   "\r\n"
                   "ExecutableName=test_client.exe\r\n");
  // Client A has a host already; client B would need the work directory's.
  ASSERT_TRUE(writeFile(kClientA + "\\srvany.exe", hostImage()));
  ASSERT_TRUE(DeleteFileA((kWork + "\\srvany.exe").c_str()));

  RunResult r = qvn("-install_fah");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output, kBanner +
                          "Installing Folding@Home as a service...\r\n"
                          "Installing configuration first\r\n"
                          " Installing service QvnNoDirectory\r\n"
                          "Directory not configured\r\n"
                          " Installing service QvnNoExecutable\r\n"
                          "  Directory: " +
                          kClientA +
                          "\r\n"
                          "ExecutableName not configured\r\n"
                          " Installing service QvnFahA\r\n"
                          "  Directory: " +
                          kClientA +
                          "\r\n"
                          "  Executable: test_client.exe\r\n"
                          "  Use forceasm: no\r\n"
                          "  Use advmethods: no\r\n"
                          " Installing service QvnFahB\r\n"
                          "  Directory: " +
                          kClientB +
                          "\r\n"
                          "  Executable: test_client.exe\r\n"
                          "  Use forceasm: no\r\n"
                          "  Use advmethods: no\r\n"
                          "  srvany.exe not found\r\n");
  EXPECT_EQ(openServiceError("QvnNoDirectory"), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(openServiceError("QvnNoExecutable"), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(openServiceError("QvnFahA"), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(openServiceError("QvnFahB"), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_FALSE(fileExists(kClientB + "\\srvany.exe"));

  r = qvn("-install_fah nosuch");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner + "Installing Folding@Home as a service...\r\n"
                                "Installing configuration nosuch\r\n");
  r = qvn("-desinstall_fah nosuch");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner + "Desinstalling Folding@Home as a service...\r\n"
                                "Desinstalling configuration nosuch\r\n");

  writeInstallFile("[General]\r\nExecutableName=test_client.exe\r\n");
  for (const char *option : {"-install_fah", "-desinstall_fah"}) {
    r = qvn(option);
    EXPECT_EQ(r.exitCode, 1u) << option;
    EXPECT_EQ(r.output, kBanner + (option[1] == 'i' ? "Installing" : "Desinstalling") +
                            " Folding@Home as a service...\r\nNo configuration name found\r\n");
  }
}

TEST_F(ClientInstall, TheHostRunsTheClientUntilStoppedOrKilled) {
  writeInstallFile(kSingleClient);
  RunResult r = qvn("-install_fah single");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  EXPECT_NE(r.output.find("  Use beta: no\r\n"), std::string::npos) << r.output;

  ASSERT_TRUE(startService("QvnFahA"));
  std::vector<std::string> run = waitForClient(kClientA);
  ASSERT_EQ(run.size(), 3u);
  EXPECT_EQ(run[0], "\"" + kClientA + "\\test_client.exe\" -service -local -forceasm");
  EXPECT_EQ(run[1], kClientA);
  EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_RUNNING));

  // A stop asks the client to end, and the service stops once it has.
  DWORD client = std::stoul(run[2]);
  DWORD started = GetTickCount();
  ASSERT_TRUE(stopService("QvnFahA"));
  EXPECT_TRUE(waitForProcessEnd(client, 15000));
  EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED));
  std::printf("stop to stopped: %lu ms\n", GetTickCount() - started);
  run = clientRun(kClientA);
  ASSERT_EQ(run.size(), 4u);
  EXPECT_EQ(run[3].rfind("asked to end by ", 0), 0u) << run[3];
  EXPECT_EQ(serviceExitCodes("QvnFahA").first, static_cast<DWORD>(NO_ERROR));

  // Killing the host takes the client with it.
  DeleteFileA((kClientA + "\\client-run.txt").c_str());
  ASSERT_TRUE(startService("QvnFahA"));
  run = waitForClient(kClientA);
  ASSERT_EQ(run.size(), 3u);
  client = std::stoul(run[2]);
  ASSERT_TRUE(waitForServiceState("QvnFahA", SERVICE_RUNNING));
  DWORD host = serviceProcessId("QvnFahA");
  ASSERT_NE(host, 0u);
  ASSERT_NE(host, client);
  HANDLE hostProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, host);
  ASSERT_NE(hostProcess, nullptr);
  started = GetTickCount();
  EXPECT_TRUE(TerminateProcess(hostProcess, 9));
  WaitForSingleObject(hostProcess, 5000);
  CloseHandle(hostProcess);
  EXPECT_TRUE(waitForProcessEnd(client, 5000));
  std::printf("host killed to client gone: %lu ms\n", GetTickCount() - started);
  EXPECT_EQ(clientRun(kClientA).size(), 3u); // not asked, just ended
}

// The host's own failures: a stopped service with a service-specific code.
TEST_F(ClientInstall, TheHostStopsWithAReasonWhenItCannotRunTheClient) {
  writeInstallFile(kSingleClient);
  ASSERT_EQ(qvn("-install_fah single").exitCode, 0u);
  std::string key = "SYSTEM\\CurrentControlSet\\Services\\QvnFahA\\Parameters";
  auto setValue = [&](const char *name, const std::string *value) {
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &k), ERROR_SUCCESS);
    if (value)
      RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value->c_str()),
                     static_cast<DWORD>(value->size() + 1));
    else
      RegDeleteValueA(k, name);
    RegCloseKey(k);
  };
  auto expectStoppedWith = [&](DWORD code, const char *what) {
    ASSERT_TRUE(startService("QvnFahA")) << what;
    EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED)) << what;
    EXPECT_EQ(serviceExitCodes("QvnFahA"),
              std::make_pair(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), code))
        << what;
  };

  // The client ending by itself (the test client does so on this option).
  std::string exiting = "-service -local --exit-at-once";
  setValue("AppParameters", &exiting);
  expectStoppedWith(3, "client ended by itself");
  EXPECT_EQ(waitForClient(kClientA).size(), 3u);

  std::string missing = kClientA + "\\no such client.exe";
  setValue("Application", &missing);
  expectStoppedWith(2, "application not startable");

  setValue("Application", nullptr);
  expectStoppedWith(1, "Application missing");
}

TEST_F(ClientInstall, DesinstallRemovesTheServicesRunningOrNotAndKeepsTheHosts) {
  writeInstallFile("[Configurations]\r\n"
                   "pair=QvnFahA,QvnFahB\r\n"
                   "[General]\r\n"
                   "ExecutableName=test_client.exe\r\n"
                   "[QvnFahA]\r\n"
                   "Directory=" +
                   kClientA +
                   "\r\n"
                   "[QvnFahB]\r\n"
                   "Directory=" +
                   kClientB + "\r\n");
  ASSERT_EQ(qvn("-install_fah pair").exitCode, 0u);
  ASSERT_TRUE(startService("QvnFahA"));
  std::vector<std::string> run = waitForClient(kClientA);
  ASSERT_EQ(run.size(), 3u);
  ASSERT_TRUE(waitForServiceState("QvnFahA", SERVICE_RUNNING));

  RunResult r = qvn("-desinstall_fah");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner + "Desinstalling Folding@Home as a service...\r\n"
                                "Desinstalling configuration pair\r\n"
                                " Desinstalling service QvnFahA\r\n"
                                " Desinstalling service QvnFahB\r\n");
  EXPECT_TRUE(waitForProcessEnd(std::stoul(run[2]), 15000));
  for (const char *name : {"QvnFahA", "QvnFahB"}) {
    EXPECT_TRUE(
        waitFor([&] { return openServiceError(name) == ERROR_SERVICE_DOES_NOT_EXIST; }, 15000))
        << name;
    EXPECT_NE(parameter(name, "AppDirectory").rc, ERROR_SUCCESS) << name;
  }
  EXPECT_EQ(readFile(kClientA + "\\srvany.exe"), hostImage());
  EXPECT_EQ(readFile(kClientB + "\\srvany.exe"), hostImage());
}

} // namespace
