// Loading "Qvn.ini" from the Windows directory through the real profile
// functions, and what the load writes to "C:\Qvn.log".
#include "scheduler/schedule_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace qvntest;

namespace {

using Points = std::vector<std::pair<int32_t, bool>>;

Points points(const ServiceRecord &record) {
  Points out;
  for (const ScheduleEntry &e : record.schedule)
    out.emplace_back(e.minuteOfWeek, e.wantRunning);
  return out;
}

class ScheduleFile : public ::testing::Test {
protected:
  void SetUp() override {
    g_serviceRecords.clear();
    DeleteFileA(path_.c_str());
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }

  // Writes the file, loads it into the process-wide list and returns the
  // log text the load wrote.
  std::string load(const std::string &content) {
    EXPECT_TRUE(writeFile(path_, content));
    FileTail log;
    loadScheduleFile();
    return log.text();
  }

  std::string path_ = windowsDir() + "\\Qvn.ini";
};

TEST_F(ScheduleFile, RecordsFollowSectionOrderWithTheirEntriesAndFlags) {
  std::string log = load("[Zeta]\r\nStart=15:0800\r\nStop=15:1800\r\nForceStart=y\r\n"
                         "ForceStop=Y\r\n"
                         "[Alpha]\r\nForceStart=yes\r\nForceStop=y\r\n"
                         "[Mid]\r\nStart=1:0800; 2:08;;x\r\nStop=1:0800;9:0000\r\n");
  ASSERT_EQ(g_serviceRecords.size(), 3u);
  auto it = g_serviceRecords.begin();
  const ServiceRecord &zeta = *it++, &alpha = *it++, &mid = *it;

  EXPECT_EQ(zeta.name, "Zeta");
  EXPECT_EQ(points(zeta), (Points{{1920, true}, {2520, false}, {7680, true}, {8280, false}}));
  EXPECT_TRUE(zeta.forceStart);
  EXPECT_FALSE(zeta.forceStop);
  EXPECT_EQ(zeta.lastAction, LastAction::None);

  EXPECT_EQ(alpha.name, "Alpha");
  EXPECT_TRUE(alpha.schedule.empty());
  EXPECT_FALSE(alpha.forceStart);
  EXPECT_TRUE(alpha.forceStop);

  EXPECT_EQ(mid.name, "Mid");
  EXPECT_EQ(points(mid), (Points{{1920, true}, {1920, false}}));
  EXPECT_FALSE(mid.forceStart || mid.forceStop);

  EXPECT_EQ(log, "Start at 1920\r\nStop at 2520\r\nStart at 7680\r\nStop at 8280\r\n"
                 "Ignoring schedule entry 2:08 of service Mid\r\n"
                 "Ignoring schedule entry x of service Mid\r\n"
                 "Ignoring schedule entry 9:0000 of service Mid\r\n"
                 "Start at 1920\r\nStop at 1920\r\n");
}

TEST_F(ScheduleFile, MissingOrEmptyFileGivesNoRecords) {
  FileTail log;
  loadScheduleFile();
  EXPECT_TRUE(g_serviceRecords.empty());
  EXPECT_EQ(load("; no sections\r\nStart=1:0800\r\n"), "");
  EXPECT_TRUE(g_serviceRecords.empty());
  EXPECT_EQ(log.text(), "");
}

} // namespace
