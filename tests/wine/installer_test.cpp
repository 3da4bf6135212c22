// The real Qvn.exe installing client configurations and itself, in directories whose paths
// hold blanks, and the real srvany.exe hosting the test client: what they register, what they
// refuse, that they remove only what they made, and that every failure is said.
#include "common/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

using namespace qvntest;

namespace {

const std::string kBase = "C:\\qvn test", kWork = kBase + "\\work dir";
const std::string kClientA = kBase + "\\client a", kClientB = kWork + "\\client b"; // B: relative
const std::string kHost = "C:\\qvn-host\\srvany.exe"; // the test service, by the host's name
// "first" comes first: the configuration taken when none is named.
const std::string kInstallFile =
    lines({"[Configurations]", "first=QvnNoDirectory,QvnNoExecutable,QvnFahA,QvnFahB",
           "pair=QvnFahA,, \tQvnFahB",
           "empty=", "home=QvnFltVictim, QvnFltStubborn, QvnFltPaused, QvnFltNone"}) +
    lines({"[General]", "UseForceAsm=y", "Description=Folding client", "[QvnNoExecutable]",
           "Directory=" + kClientA}) +
    lines({"[QvnFahA]", "Directory=" + kClientA, "ExecutableName=test_client.exe", "UseForceAsm=n",
           "UseBeta=y", "Verbosity=9", "Display=Folding A"}) +
    lines({"[QvnFahB]", "Directory=client b", "ExecutableName=test_client.exe", "UseAdvMethods=y",
           "UseBeta=Y", "Description=Second client"});

std::string hostImage() { return readFile(programPath("srvany.exe")); }
std::string parametersKey(const std::string &service) {
  return "SYSTEM\\CurrentControlSet\\Services\\" + service + "\\Parameters";
}

// A "Parameters" value exactly as stored, terminating null included; empty when it cannot be
// read or is not a REG_SZ.
std::string parameter(const std::string &service, const char *value) {
  UniqueHKey key;
  char buffer[2048];
  DWORD size = sizeof(buffer), type = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parametersKey(service).c_str(), 0, KEY_QUERY_VALUE,
                    key.put()) ||
      RegQueryValueExA(key.get(), value, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size) ||
      type != REG_SZ)
    return "";
  return std::string(buffer, size);
}

void setParameter(const char *value, const std::string &data, DWORD type = REG_SZ) {
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, parametersKey("QvnFahA").c_str(), value, type,
                            data.c_str(), static_cast<DWORD>(data.size() + 1)),
            0);
}

// The test client's record: command line, working directory, process id, then "asked to end
// by ..." once ended politely.
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

void startRunning(const std::string &name) {
  ASSERT_EQ(startServiceWithArgs(name), DWORD(ERROR_SUCCESS)) << name;
  ASSERT_TRUE(waitForServiceState(name, SERVICE_RUNNING)) << name;
}

class ClientInstall : public ::testing::Test {
protected:
  void SetUp() override {
    for (const std::string &dir : {kBase, kWork, kClientA, kClientB, std::string("C:\\qvn-host")}) {
      CreateDirectoryA(dir.c_str(), nullptr);
      for (const char *file : {"\\srvany.exe", "\\client-run.txt", "\\test_client.exe"})
        DeleteFileA((dir + file).c_str());
    }
    ASSERT_TRUE(CopyFileA(programPath("test_service.exe").c_str(), // as the client
                          (kClientA + "\\test_client.exe").c_str(), FALSE));
    ASSERT_TRUE(writeFile(kWork + "\\srvany.exe", hostImage()));
    ASSERT_TRUE(writeFile(kWork + "\\Qvn_install.ini", kInstallFile));
    ASSERT_TRUE(CopyFileA(programPath("test_service.exe").c_str(), kHost.c_str(), FALSE));
  }
  // Qvn.exe in the work directory, where it finds ".\Qvn_install.ini" (this one when given).
  RunResult qvn(const std::string &arguments, const std::string &installFile = "") {
    EXPECT_TRUE(installFile.empty() || writeFile(kWork + "\\Qvn_install.ini", installFile));
    return runQvn(arguments, kWork);
  }
  ServiceCleanup a{"QvnFahA"}, b{"QvnFahB"};
};
class InstallerFaults : public ClientInstall {};

// The first configuration: services without a directory or a program fail alone; client A's
// folder, open to Everyone (how Wine shows a folder's others' write bit), is refused until mended;
// B's relative folder is made full, its missing client only warned of, and another host there,
// put there by anyone while it was open, is replaced by ours, which refuses a console start.
TEST_F(ClientInstall, InstallsTheServicesOfAConfigurationAndRemovesThem) {
  ServiceCleanup noDirectory("QvnNoDirectory"), noExecutable("QvnNoExecutable");
  ASSERT_TRUE(writeFile(kClientB + "\\srvany.exe", "planted host"));
  const std::string everyone = "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;";
  ASSERT_TRUE(setAccessList(kClientA, everyone + "0x1301bf;;;WD)"));
  RunResult r = qvn("-install_fah");
  EXPECT_TRUE(setAccessList(kClientA, everyone + "0x1200a9;;;WD)")); // read and execute
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(r.has(lines(
      {"Installing configuration first", " Installing service QvnNoDirectory",
       "Directory not configured", " Installing service QvnNoExecutable",
       "  Directory: " + kClientA, "ExecutableName not configured", " Installing service QvnFahA",
       "  Directory: " + kClientA, "  Executable: test_client.exe", "  Use forceasm: no",
       "  Use advmethods: no", "  Use beta: yes", "  Description: Folding client",
       "  " + kClientA + " can be changed by Everyone: service not installed",
       "  Fix: icacls \"" + kClientA +
           "\" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F "
           "*S-1-5-32-545:(OI)(CI)RX /remove:g *S-1-1-0",
       " Installing service QvnFahB", "  Directory: " + kClientB, "  Executable: test_client.exe",
       "  Warning: " + kClientB + "\\test_client.exe not found, the service needs it to start"})))
      << r.output;
  EXPECT_TRUE(serviceGone("QvnNoDirectory") && serviceGone("QvnNoExecutable") &&
              serviceGone("QvnFahA"));
  EXPECT_EQ(serviceConfig("QvnFahB"), // 3: on demand
            "3 \"" + kClientB + "\\srvany.exe\", QvnFahB, Second client");
  EXPECT_TRUE(readFile(kClientB + "\\srvany.exe") == hostImage());
  r = run("\"" + kClientB + "\\srvany.exe\"");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output, "srvany.exe is a service host installed by Qvn -install_fah;"
                      " only the service manager starts it\r\n");
  // Mended, A is installed; B, registered already, fails and says so.
  r = qvn("-install_fah pair");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(r.has("  Unable to create service, see C:\\Qvn.log\r\n")) << r.output;
  EXPECT_EQ(serviceConfig("QvnFahA"),
            "3 \"" + kClientA + "\\srvany.exe\", Folding A, Folding client");
  const std::string nul(1, '\0');
  EXPECT_EQ(parameter("QvnFahA", "AppDirectory"), kClientA + nul);
  EXPECT_EQ(parameter("QvnFahA", "Application"), kClientA + "\\test_client.exe" + nul);
  EXPECT_EQ(parameter("QvnFahA", "AppParameters"), "-service -local -betateam -verbosity 9" + nul);
  r = qvn("-desinstall_fah pair");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(r.has(lines({"Desinstalling configuration pair", " Desinstalling service QvnFahA",
                           " Desinstalling service QvnFahB"})))
      << r.output;
  EXPECT_TRUE(waitForServiceGone("QvnFahA") && waitForServiceGone("QvnFahB"));
  EXPECT_TRUE(readFile(kClientA + "\\srvany.exe") == hostImage()); // hosts stay
  // Without ours in the work directory, no host is approved, not even one there already.
  ASSERT_TRUE(DeleteFileA((kWork + "\\srvany.exe").c_str()));
  r = qvn("-install_fah pair");
  EXPECT_TRUE(r.exitCode == 1u && r.has("  srvany.exe not found\r\n") && serviceGone("QvnFahA"))
      << r.output;
}

TEST_F(ClientInstall, TheHostRunsTheClientUntilStoppedOrKilledAndStopsWithAReason) {
  ASSERT_EQ(qvn("-install_fah pair").exitCode, 0u);
  setParameter("AppDirectory", "%SystemDrive%" + kClientA.substr(2), REG_EXPAND_SZ);
  setParameter("AppParameters", "--ctrl-c-only");
  startRunning("QvnFahA");
  std::vector<std::string> client = clientRun(kClientA);
  client.resize(2); // the command line and the working directory
  EXPECT_EQ(client, (std::vector<std::string>{"\"" + kClientA + "\\test_client.exe\" --ctrl-c-only",
                                              kClientA}));
  // Another host to install: the one running cannot be replaced, and is not approved either.
  ASSERT_TRUE(writeFile(kWork + "\\srvany.exe", hostImage() + "another"));
  EXPECT_TRUE(qvn("-install_fah pair")
                  .has("  " + kClientA +
                       "\\srvany.exe is not this package's "
                       "and is in use: stop its service first\r\n"));
  // A stop asks the client to end; one that handles Ctrl+C alone and takes 2 s to end is given
  // the time and ends through its handler, and the service stops once it has.
  DWORD asked = GetTickCount();
  ASSERT_EQ(controlService("QvnFahA", SERVICE_CONTROL_STOP), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(clientRun(kClientA, 4).at(3), "asked to end by Ctrl+C");
  EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED));
  std::printf("Ctrl+C client: stop to stopped %lu ms\n", GetTickCount() - asked);
  EXPECT_EQ(serviceStatus("QvnFahA").dwWin32ExitCode, DWORD(NO_ERROR));

  // The host's own failures: stopped, with a service-specific exit code and the reason logged,
  // an error in the event log too.
  const std::string app = "CreateProcess \"" + kClientA + "\\test_client.exe\" --exit-at-once in ";
  const struct {
    const char *value, *data;
    DWORD type, code;
    std::string logged;
  } failures[] = {
      {"AppParameters", "--exit-at-once", REG_SZ, 3, "application ended by itself, exit code 7"},
      {"AppDirectory", "C:\\no such dir", REG_SZ, 2,
       app + "C:\\no such dir: directory does not exist\r\n  "},
      {"Application", "C:\\no such client.exe", REG_SZ, 2,
       "CreateProcess \"C:\\no such client.exe\" --exit-at-once in C:\\no such dir: directory and "
       "application do not exist"},
      {"Application", "", REG_SZ, 1, "AppDirectory or Application empty"},
      {"Application", "x", REG_MULTI_SZ, 1,
       "value Application has type REG_MULTI_SZ, not REG_SZ or REG_EXPAND_SZ"}};
  for (const auto &f : failures) {
    FileTail log, events(kWineEventLog);
    setParameter(f.value, f.data, f.type);
    waitForServiceState("QvnFahA", SERVICE_STOPPED);
    ASSERT_EQ(startServiceWithArgs("QvnFahA"), DWORD(ERROR_SUCCESS)) << f.code;
    EXPECT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED)) << f.code;
    SERVICE_STATUS_PROCESS status = serviceStatus("QvnFahA");
    EXPECT_EQ(std::make_pair(status.dwWin32ExitCode, status.dwServiceSpecificExitCode),
              std::make_pair(DWORD(ERROR_SERVICE_SPECIFIC_ERROR), f.code));
    EXPECT_TRUE(log.contains("QvnFahA: " + f.logged)) << log.text();
    EXPECT_TRUE(!serviceEventsSeen() || waitFor([&] {
      return events.contains(wineEvent("err", "QvnFahA: " + f.logged));
    })) << events.text();
  }
  setParameter("AppDirectory", kClientA);

  // A client that will not end: stop-pending while the host waits, then killed. Killing the host
  // takes its client with it too.
  setParameter("Application", kClientA + "\\test_client.exe");
  setParameter("AppParameters", "--never-end");
  for (bool killHost : {false, true}) {
    ASSERT_TRUE(waitForServiceState("QvnFahA", SERVICE_STOPPED));
    DeleteFileA((kClientA + "\\client-run.txt").c_str());
    startRunning("QvnFahA");
    DWORD pid = std::stoul(clientRun(kClientA).at(2));
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

// A host that accepts the stop but goes on running: the removal gives up on it after the whole
// 30 s, and goes on with the next.
TEST_F(InstallerFaults, DesinstallFahRemovesOnlyHostedServicesWhateverTheirStateOrGivesUp) {
  ServiceCleanup paused("QvnFltPaused"), victim("QvnFltVictim"), stubborn("QvnFltStubborn");
  ASSERT_TRUE(registerService(paused.name(), kHost)); // unquoted, as an older installer wrote it
  ASSERT_TRUE(registerService(stubborn.name(), "\"" + kHost + "\" --ignore-stop"));
  ASSERT_TRUE(registerTestService(victim.name()));
  for (const ServiceCleanup *service : {&paused, &victim, &stubborn})
    startRunning(service->name());
  ASSERT_EQ(controlService(paused.name(), SERVICE_CONTROL_PAUSE), DWORD(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(paused.name(), SERVICE_PAUSED));
  DWORD asked = GetTickCount();
  RunResult r = qvn("-desinstall_fah home");
  EXPECT_GE(GetTickCount() - asked, 29000u); // the whole 30 s
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_TRUE(r.has("  QvnFltVictim is not a srvany.exe service, left in place") &&
              r.has("  Service did not stop within 30 s, removed when it stops\r\n"))
      << r.output;
  EXPECT_TRUE(serviceGone(paused.name()));
  EXPECT_EQ(serviceState(victim.name()), DWORD(SERVICE_RUNNING));
  EXPECT_EQ(serviceConfig(victim.name()), "3 " + testServiceCommand() + ", QvnFltVictim, ");
}

// A Qvn.exe ordinary users can change is refused; one the manager cannot start (it expands
// "%SystemRoot%" in the registered path: no such file) stays registered, and the run fails.
TEST_F(InstallerFaults, InstallRefusesAQvnExeOrdinaryUsersCanChangeAndFailsUnstarted) {
  for (bool open : {true, false}) {
    ServiceCleanup scheduler("Qvn");
    const std::string dir = kWork + (open ? "\\open" : "\\%SystemRoot%");
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(programPath("Qvn.exe").c_str(), (dir + "\\Qvn.exe").c_str(), FALSE));
    ASSERT_TRUE(!open ||
                setAccessList(dir + "\\Qvn.exe", "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;WD)"));
    RunResult r = run("\"" + dir + "\\Qvn.exe\" -install");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(r.has(open ? "\\Qvn.exe can be changed by Everyone: Quorvane service not installed"
                           : "Quorvane service installed but not running, see C:\\Qvn.log\r\n"))
        << r.output;
    EXPECT_EQ(serviceConfig("Qvn"),
              open ? "" : "2 \"" + dir + "\\Qvn.exe\" -service, Qvn, Run services at desired time");
  }
}

} // namespace
