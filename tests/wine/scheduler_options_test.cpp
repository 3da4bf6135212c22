// The recovery options and delayed start "-install" gives "Qvn": the
// structures as the system gets them, and what the system keeps of them.
#include "common/unique_handle.h"
#include "install/scheduler_registration.h"
#include "scm/service_manager_connection.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

using namespace qvntest;

namespace {

// The item read back; empty when the system does not give it (error set).
std::vector<BYTE> readBack(const std::string &name, DWORD level, DWORD &error) {
  UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueScHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
  std::vector<BYTE> data(8192);
  DWORD needed = 0;
  error = QueryServiceConfig2A(service.get(), level, data.data(), DWORD(data.size()), &needed)
              ? ERROR_SUCCESS
              : GetLastError();
  return error ? std::vector<BYTE>() : data;
}

TEST(SchedulerOptions, RestartAfterAMinuteAndTheDelayedStart) {
  SchedulerRecovery recovery;
  const SERVICE_FAILURE_ACTIONSA &given = *recovery.info();
  EXPECT_EQ(given.dwResetPeriod, 86400u); // a day
  EXPECT_EQ(given.lpRebootMsg, nullptr);
  EXPECT_EQ(given.lpCommand, nullptr);
  ASSERT_EQ(given.cActions, 3u); // the third also for every later failure
  for (DWORD i = 0; i < given.cActions; ++i) {
    EXPECT_EQ(given.lpsaActions[i].Type, SC_ACTION_RESTART) << i;
    EXPECT_EQ(given.lpsaActions[i].Delay, 60000u) << i;
  }
  SERVICE_DELAYED_AUTO_START_INFO delayed = schedulerDelayedStart();
  EXPECT_TRUE(delayed.fDelayedAutostart);

  // Given to a service: Wine 8 accepts the recovery options and keeps
  // nothing, and refuses the delayed start without a log entry; Windows
  // keeps both.
  ServiceCleanup service(uniqueServiceName("QvnOptions"));
  ASSERT_TRUE(registerService(service.name(), testServiceCommand(), SERVICE_AUTO_START));
  FileTail log;
  ServiceManagerConnection connection;
  EXPECT_TRUE(connection.changeConfiguration(service.c_str(), SERVICE_CONFIG_FAILURE_ACTIONS,
                                             recovery.info()));
  DWORD error = 0;
  std::vector<BYTE> kept = readBack(service.name(), SERVICE_CONFIG_FAILURE_ACTIONS, error);
  std::printf("recovery options read back: error %lu\n", error);
  if (error) {
    EXPECT_EQ(error, DWORD(ERROR_INVALID_LEVEL));
  } else {
    auto *read = reinterpret_cast<SERVICE_FAILURE_ACTIONSA *>(kept.data());
    EXPECT_EQ(read->dwResetPeriod, 86400u);
    ASSERT_EQ(read->cActions, 3u);
    EXPECT_EQ(read->lpsaActions[2].Type, SC_ACTION_RESTART);
    EXPECT_EQ(read->lpsaActions[2].Delay, 60000u);
  }
  Result set = connection.changeConfiguration(service.c_str(),
                                              SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed);
  std::printf("delayed start set: error %u\n", set.error());
  if (!set)
    EXPECT_TRUE(set.failedWith(ERROR_INVALID_PARAMETER));
  else
    EXPECT_TRUE(reinterpret_cast<SERVICE_DELAYED_AUTO_START_INFO *>(
                    readBack(service.name(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, error).data())
                    ->fDelayedAutostart);
  EXPECT_EQ(log.text(), "");
}

} // namespace
