// ServiceManagerConnection against Wine's real service control manager, driving the test service.
// Every test removes the services it made.
#include "log/diagnostic_log.h"
#include "scm/service_manager_connection.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

using Events = std::vector<std::pair<LogKind, std::string>>;

class Scm : public ::testing::Test {
protected:
  // What the event log would get: each entry's kind and first line.
  Scm() {
    g_log.setEventSink([this](LogKind kind, const std::string &entry) {
      events.emplace_back(kind, entry.substr(0, entry.find('\n')));
    });
  }
  ~Scm() override { g_log.setEventSink(nullptr); }
  // The result, logged as the program's callers log it.
  static Result logged(Result result) { return g_log.writeFailure(result), result; }

  FileTail log; // only this test's entries of the shared log
  Events events;
  ServiceManagerConnection connection;
};

// Creating a service: the scheduler's and the client installer's own tests.
TEST_F(Scm, StartQueryStopAndRemove) {
  ServiceCleanup service(uniqueServiceName("QvnScmRun"));
  const char *name = service.name().c_str();
  ASSERT_TRUE(registerTestService(name) && connection.startService(name) &&
              waitForServiceState(name, SERVICE_RUNNING));
  EXPECT_EQ(*connection.queryState(name), 4u);
  // Started again: refused and logged, but the service is where it was sent.
  EXPECT_TRUE(logged(connection.startService(name)).failedWith(ERROR_SERVICE_ALREADY_RUNNING));
  EXPECT_EQ(log.text(), logErrorEntry("StartService", ERROR_SERVICE_ALREADY_RUNNING));
  log.mark();
  DWORD pid = serviceProcessId(name);
  ASSERT_TRUE(connection.stopService(name));
  EXPECT_TRUE(waitForProcessEnd(pid));
  EXPECT_EQ(*connection.queryState(name), 1u);
  EXPECT_EQ(log.text(), "");
  EXPECT_FALSE(logged(connection.stopService(name)));
  EXPECT_EQ(log.text(), logErrorEntry("ControlService", ERROR_SERVICE_NOT_ACTIVE));
  // Removed, then again: nothing to remove succeeds. A query fails, naming no call to log; start
  // and stop cannot reach it: failures, logged.
  log.mark();
  EXPECT_TRUE(connection.deleteService(name) && waitForServiceGone(name) &&
              connection.deleteService(name));
  EXPECT_TRUE(
      logged(connection.queryState(name).result()).failedWith(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_FALSE(logged(connection.startService(name)) || logged(connection.stopService(name)));
  const std::string entry = logErrorEntry("OpenService", ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_EQ(log.text(), entry + entry);
  // Neither refusal is an error to the event log; a service out of reach is.
  EXPECT_EQ(events, (Events{{LogKind::Information, "StartService"},
                            {LogKind::Information, "ControlService"},
                            {LogKind::Error, "OpenService"},
                            {LogKind::Error, "OpenService"}}));
}
