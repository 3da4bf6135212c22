// ServiceManagerConnection against Wine's real service control manager,
// driving the test service. Every test removes the services it made.
#include "log/diagnostic_log.h"
#include "scm/service_manager_connection.h"
#include "service_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

class Scm : public ::testing::Test {
protected:
  // Only this test's entries of the shared log.
  FileTail log;
  ServiceManagerConnection connection;
};

TEST_F(Scm, CreateWithStartAtBootRegistersAnAutomaticServiceAndStartsIt) {
  ServiceCleanup service(uniqueServiceName("QvnScmBoot"));
  const std::string path = testServiceCommand();

  ASSERT_TRUE(connection.createService(service.name().c_str(), "Boot display", path.c_str(),
                                       "Started at boot", true));

  ServiceConfig config = queryServiceConfig(service.name());
  ASSERT_TRUE(config.exists);
  EXPECT_EQ(config.serviceType, 0x10u);
  EXPECT_EQ(config.startType, 2u);
  EXPECT_EQ(config.errorControl, 0u);
  EXPECT_EQ(config.binaryPath, path);
  EXPECT_EQ(config.displayName, "Boot display");
  EXPECT_EQ(config.description, "Started at boot");
  EXPECT_TRUE(waitForServiceState(service.name(), SERVICE_RUNNING));
  EXPECT_EQ(log.text(), "");
}

TEST_F(Scm, CreateWithoutStartAtBootRegistersAnOnDemandServiceAndLeavesItStopped) {
  ServiceCleanup described(uniqueServiceName("QvnScmDemand"));
  ServiceCleanup bare(uniqueServiceName("QvnScmBare"));
  const std::string path = testServiceCommand("--trace=C:\\unused.txt");

  // One connection for both: it is idle again after each operation.
  ASSERT_TRUE(connection.createService(described.name().c_str(), "Demand", path.c_str(),
                                       "On demand only", false));
  ASSERT_TRUE(connection.createService(bare.name().c_str(), "Bare", path.c_str(), nullptr, false));

  ServiceConfig config = queryServiceConfig(described.name());
  ASSERT_TRUE(config.exists);
  EXPECT_EQ(config.startType, 3u);
  EXPECT_EQ(config.binaryPath, path);
  EXPECT_EQ(config.description, "On demand only");
  EXPECT_EQ(queryServiceConfig(bare.name()).description, "");

  Sleep(300); // nothing may start behind our back
  EXPECT_EQ(serviceState(described.name()), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(serviceState(bare.name()), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(log.text(), "");
}

TEST_F(Scm, CreatingAnExistingServiceFailsAndChangesOrStartsNothing) {
  ServiceCleanup service(uniqueServiceName("QvnScmTwice"));
  ASSERT_TRUE(registerTestService(service.name()));
  log.mark();

  EXPECT_FALSE(connection.createService(service.name().c_str(), "Other", "C:\\other.exe",
                                        "New description", true));

  // No service handle after the failed create, so the description step
  // fails too; nothing is started.
  EXPECT_EQ(log.text(), logErrorEntry("CreateService()", ERROR_SERVICE_EXISTS) +
                            logErrorEntry("ChangeServiceConfig2", ERROR_INVALID_HANDLE));

  ServiceConfig config = queryServiceConfig(service.name());
  EXPECT_EQ(config.startType, 3u);
  EXPECT_EQ(config.binaryPath, testServiceCommand());
  EXPECT_EQ(config.description, "");
  Sleep(300);
  EXPECT_EQ(serviceState(service.name()), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(Scm, StartQueryPauseAndStop) {
  ServiceCleanup service(uniqueServiceName("QvnScmRun"));
  ASSERT_TRUE(registerTestService(service.name()));
  const char *name = service.name().c_str();

  ASSERT_TRUE(connection.startService(name));
  ASSERT_TRUE(waitForServiceState(name, SERVICE_RUNNING));
  EXPECT_EQ(connection.queryState(name), 4u);
  DWORD pid = serviceProcessId(name);
  EXPECT_TRUE(processAlive(pid));

  ASSERT_EQ(controlService(name, SERVICE_CONTROL_PAUSE), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(name, SERVICE_PAUSED));
  EXPECT_EQ(connection.queryState(name), 7u);
  ASSERT_EQ(controlService(name, SERVICE_CONTROL_CONTINUE), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(name, SERVICE_RUNNING));

  ASSERT_TRUE(connection.stopService(name));
  ASSERT_TRUE(waitForServiceState(name, SERVICE_STOPPED));
  EXPECT_EQ(connection.queryState(name), 1u);
  EXPECT_TRUE(waitForProcessEnd(pid));
  EXPECT_EQ(log.text(), "");
}

TEST_F(Scm, StartingARunningServiceFailsWithTheSystemsMessage) {
  ServiceCleanup service(uniqueServiceName("QvnScmAgain"));
  ASSERT_TRUE(registerTestService(service.name()));
  ASSERT_TRUE(connection.startService(service.name().c_str()));
  ASSERT_TRUE(waitForServiceState(service.name(), SERVICE_RUNNING));
  log.mark();

  EXPECT_FALSE(connection.startService(service.name().c_str()));
  EXPECT_EQ(log.text(), logErrorEntry("StartService", ERROR_SERVICE_ALREADY_RUNNING));
}

TEST_F(Scm, StoppingAStoppedServiceFailsWithTheSystemsMessage) {
  ServiceCleanup service(uniqueServiceName("QvnScmIdle"));
  ASSERT_TRUE(registerTestService(service.name()));
  log.mark();

  EXPECT_FALSE(connection.stopService(service.name().c_str()));
  EXPECT_EQ(log.text(), logErrorEntry("ControlService", ERROR_SERVICE_NOT_ACTIVE));
}

TEST_F(Scm, DeletingARunningServiceMarksItThenStopsItThenItIsGone) {
  ServiceCleanup service(uniqueServiceName("QvnScmDelete"));
  // A slow stop keeps the moment between "marked" and "gone" observable.
  ASSERT_TRUE(registerTestService(service.name(), "--stop-delay=1500"));
  ASSERT_EQ(startServiceWithArgs(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(waitForServiceState(service.name(), SERVICE_RUNNING));
  DWORD pid = serviceProcessId(service.name());
  log.mark();

  EXPECT_FALSE(markedForDeletion(service.name()));
  ASSERT_TRUE(connection.deleteService(service.name().c_str()));

  EXPECT_TRUE(markedForDeletion(service.name()));
  EXPECT_EQ(serviceState(service.name()), static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_TRUE(processAlive(pid));
  EXPECT_TRUE(waitForProcessEnd(pid));
  EXPECT_TRUE(waitForServiceGone(service.name()));
  EXPECT_EQ(log.text(), "");
}

TEST_F(Scm, MissingServices) {
  const std::string name = uniqueServiceName("QvnScmMissing");

  // Removing what is not there succeeds silently; a query answers stopped.
  EXPECT_TRUE(connection.deleteService(name.c_str()));
  EXPECT_EQ(connection.queryState(name.c_str()), 1u);
  EXPECT_EQ(log.text(), "");

  // Start and stop cannot reach it: failures, logged with the system's text.
  EXPECT_FALSE(connection.startService(name.c_str()));
  EXPECT_EQ(log.text(), logErrorEntry("OpenService", ERROR_SERVICE_DOES_NOT_EXIST));
  log.mark();
  EXPECT_FALSE(connection.stopService(name.c_str()));
  EXPECT_EQ(log.text(), logErrorEntry("OpenService", ERROR_SERVICE_DOES_NOT_EXIST));
}

// The test service's failure switches, as later tests use them, and what
// the connection reports for a start or stop the service will not do.
TEST_F(Scm, TestServiceSwitchesAndWhatTheConnectionReports) {
  ServiceCleanup early(uniqueServiceName("QvnScmEarly"));
  ServiceCleanup failing(uniqueServiceName("QvnScmFail"));
  ServiceCleanup stubborn(uniqueServiceName("QvnScmStubborn"));
  ServiceCleanup refusing(uniqueServiceName("QvnScmRefuse"));
  ASSERT_TRUE(registerTestService(early.name(), "--exit-early"));
  ASSERT_TRUE(registerTestService(failing.name(), "--fail-start=42"));
  ASSERT_TRUE(registerTestService(stubborn.name(), "--ignore-stop"));
  ASSERT_TRUE(registerTestService(refusing.name(), "--refuse-stop"));

  // A process that never reaches the manager: the start fails, logged.
  EXPECT_FALSE(connection.startService(early.name().c_str()));
  EXPECT_EQ(log.text().rfind("StartService\r\n  ", 0), 0u) << log.text();
  EXPECT_EQ(serviceState(early.name()), static_cast<DWORD>(SERVICE_STOPPED));

  // One that reports stopped at once ends stopped with its exit code. (Wine
  // fails the start call itself then; Windows would not, so only the
  // outcome is checked.)
  connection.startService(failing.name().c_str());
  EXPECT_TRUE(waitForServiceState(failing.name(), SERVICE_STOPPED));
  EXPECT_EQ(serviceExitCodes(failing.name()),
            std::make_pair(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), DWORD{42}));

  ASSERT_TRUE(connection.startService(stubborn.name().c_str()));
  ASSERT_TRUE(waitForServiceState(stubborn.name(), SERVICE_RUNNING));
  EXPECT_TRUE(connection.stopService(stubborn.name().c_str()));
  Sleep(300);
  EXPECT_EQ(connection.queryState(stubborn.name().c_str()), 4u);

  ASSERT_TRUE(connection.startService(refusing.name().c_str()));
  ASSERT_TRUE(waitForServiceState(refusing.name(), SERVICE_RUNNING));
  log.mark();
  EXPECT_FALSE(connection.stopService(refusing.name().c_str()));
  EXPECT_EQ(log.text(), logErrorEntry("ControlService", ERROR_INVALID_SERVICE_CONTROL));

  // Start arguments reach it; it stays start-pending as long as asked.
  const std::string trace = "C:\\qvn-scm-trace.txt";
  DeleteFileA(trace.c_str());
  ServiceCleanup slow(uniqueServiceName("QvnScmSlow"));
  ASSERT_TRUE(registerTestService(slow.name(), "--start-delay=1000"));
  ASSERT_EQ(startServiceWithArgs(slow.name(), "--trace=" + trace),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(connection.queryState(slow.name().c_str()), 2u);
  EXPECT_TRUE(waitForServiceState(slow.name(), SERVICE_RUNNING));
  EXPECT_EQ(readFile(trace), "start " + slow.name() + "\r\nrunning\r\n");
  DeleteFileA(trace.c_str());

  // Cleanup ends both anyway.
  EXPECT_TRUE(removeService(stubborn.name()));
  EXPECT_TRUE(removeService(refusing.name()));
}

} // namespace
