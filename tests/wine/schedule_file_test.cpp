// Loading "Qvn.ini" from the Windows directory through the real profile
// functions, and the lines the load gives to its log.
#include "scheduler/schedule_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
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
  void SetUp() override { TearDown(); }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(path_.c_str());
  }

  // Loads "Qvn.ini" (written first unless content is null) into records_
  // and returns the lines the load logged.
  std::string load(const char *content) {
    EXPECT_TRUE(!content || writeFile(path_, content));
    records_.clear();
    std::string log;
    loadScheduleFile("Qvn.ini", records_, [&](const std::string &line) { log += line + "\n"; });
    return log;
  }

  std::list<ServiceRecord> records_;
  std::string path_ = windowsDir() + "\\Qvn.ini";
};

TEST_F(ScheduleFile, RecordsFollowSectionOrderWithTheirEntriesAndFlags) {
  std::string log = load("[Zeta]\r\nStart=15:0800\r\nStop=15:1800\r\nForceStart=y\r\n"
                         "ForceStop=Y\r\n"
                         "[Alpha]\r\nForceStart=yes\r\nForceStop=y\r\n"
                         "[Mid]\r\nStart=1:0800; 2:08;;x\r\nStop=1:0800;9:0000\r\n"
                         "[zeta]\r\nStart=3:0800\r\n");
  ASSERT_EQ(records_.size(), 3u);
  auto it = records_.begin();
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

  EXPECT_EQ(log, "Start at 1920\nStop at 2520\nStart at 7680\nStop at 8280\n"
                 "Ignoring schedule entry 2:08 of service Mid\n"
                 "Ignoring schedule entry x of service Mid\n"
                 "Ignoring schedule entry 9:0000 of service Mid\n"
                 "Start at 1920\nStop at 1920\n"
                 "Ignoring repeated schedule section zeta\n");
}

TEST_F(ScheduleFile, LongSectionListsAndValuesLoadWhole) {
  // 300 names of 20 characters and 400 tokens: each far past 2,048 characters.
  std::string content;
  for (int i = 0; i < 300; ++i)
    content += "[QvnScheduledSvc" + std::to_string(10000 + i) + "]\r\n";
  content += "Start=";
  for (int i = 0; i < 400; ++i) {
    char token[16];
    std::snprintf(token, sizeof token, "%d:%02d%02d;", i % 7, i / 60, i % 60);
    content += token;
  }
  std::string log = load((content + "\r\n").c_str());
  ASSERT_EQ(records_.size(), 300u);
  EXPECT_EQ(records_.back().name, "QvnScheduledSvc10299");
  EXPECT_EQ(records_.back().schedule.size(), 400u);
  EXPECT_EQ(log.find("Ignoring"), std::string::npos);
}

TEST_F(ScheduleFile, MissingFileIsNamedOnceAndEmptyFileGivesNoRecords) {
  std::string missing = "Schedule file " + path_ + " not found: no service is controlled\n";
  EXPECT_EQ(load(nullptr), missing);
  ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
  EXPECT_EQ(load(nullptr), missing);
  RemoveDirectoryA(path_.c_str());
  EXPECT_EQ(load("; no sections\r\nStart=1:0800\r\n"), "");
  EXPECT_TRUE(records_.empty());
}

} // namespace
