// What the scheduler reads from the system: INI files through the real profile functions (whole
// however long, key lines as written, what the functions would not tell). (The local time: the
// service's first check and -test's week chart.)
#include "common/unique_handle.h"
#include "config/ini_reader.h"
#include "scheduler/schedule_config.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

class IniReader : public ::testing::Test {
protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(path_.c_str());
  }
  IniFile read(const std::string &content) {
    EXPECT_TRUE(writeFile(path_, content));
    return *readIniFile("Qvn.ini");
  }
  std::string path_ = windowsDir() + "\\Qvn.ini";
};

TEST_F(IniReader, WhatTheProfileFunctionsDoNotSayAndLongListsAndValuesAreReadWhole) {
  auto utf16 = [](const std::u16string &text) { // as UTF-16LE bytes, no mark
    return std::string(reinterpret_cast<const char *>(text.data()), 2 * text.size());
  };
  EXPECT_EQ(readIniFile("Qvn.ini")->state, IniFile::State::Missing);
  ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
  EXPECT_EQ(readIniFile("Qvn.ini")->state, IniFile::State::Missing);
  RemoveDirectoryA(path_.c_str());
  // Held by a program that shares nothing: not an empty schedule.
  ASSERT_TRUE(writeFile(path_, "[Spooler]\r\nStart=1:0800\r\n"));
  UniqueKernelHandle held(
      CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  IniFile file = *readIniFile("Qvn.ini");
  EXPECT_TRUE(file.state == IniFile::State::Unreadable && !file.whyUnreadable.empty());
  held.reset();
  EXPECT_TRUE(read("\xEF\xBB\xBF[Spooler]\r\nStart=1:0800\r\n").utf8Mark);
  // UTF-16 without its mark: text, but no section the functions see.
  file = read(utf16(u"[Spooler]\r\nStart=1:0800\r\n"));
  EXPECT_TRUE(file.hasContent && file.sections.empty());
  // UTF-16 with its mark and a Cyrillic name: that section alone is marked.
  file = read("\xFF\xFE" + utf16(u"[\u0421\u043B\u0443\u0436\u0431\u0430]\r\n[Spooler]\r\n"));
  ASSERT_EQ(file.sections.size(), 2u);
  EXPECT_TRUE(file.sections[0].nameLost && !file.sections[1].nameLost);
  EXPECT_EQ(file.sections[1].name, "Spooler");
  // Code page UTF-8, where Windows refuses best fit: the flags per code page, a unit test.
  // A stop asked for during the read ends it.
  int asked = 0;
  EXPECT_FALSE(readIniFile("Qvn.ini", [&] { return ++asked < 2; }));
  // 300 names of 20 characters and a value of 2,800: each far past 2,048 characters.
  std::string content = "; a comment\r\n[First]\r\nStart = 1:0800\r\nStopp=x\r\n"
                        "start=2:0800\r\nbare line\r\n";
  for (int i = 0; i < 300; ++i)
    content += "[QvnScheduledSvc" + std::to_string(10000 + i) + "]\r\n";
  file = read(content + "Start=" + std::string(2800, '1') + "\r\n");
  ASSERT_EQ(file.sections.size(), 301u);
  EXPECT_EQ(file.sections.back().name, "QvnScheduledSvc10299");
  EXPECT_EQ(file.sections.back().value("Start", "").size(), 2800u);
  const IniSection &first = file.sections.front();
  EXPECT_EQ(first.keys, (std::vector<std::string>{"Start", "Stopp", "start", "bare line"}));
  EXPECT_EQ(first.value("START", ""), "1:0800"); // the first line of a repeated key
  EXPECT_TRUE(file.state == IniFile::State::Read && file.hasContent && !file.utf8Mark &&
              !first.nameLost);
}

// The profile functions read the file anew at each call: a file saved during the read (emptied,
// then written) is read again, never taken as sections of one and values of another (an empty
// section is wanted running always); one that changes during every read is not used.
TEST_F(IniReader, AFileSavedDuringTheReadIsReadAgainOrNotUsed) {
  const std::string content = "[QvnSvc]\r\nStop=0123456:0000\r\n[QvnOther]\r\nStart=1:0800\r\n";
  ASSERT_TRUE(writeFile(path_, content));
  int section = 0;
  Expected<IniFile> file = readIniFile("Qvn.ini", [&] {
    ++section;
    return section > 2 || writeFile(path_, section == 1 ? "" : content);
  });
  ASSERT_TRUE(file && file->state == IniFile::State::Read);
  EXPECT_EQ(section, 4);
  LoadedSchedule loaded = loadSchedule(*file, "Qvn");
  ASSERT_EQ(loaded.records.size(), 2u);
  EXPECT_FALSE(wantedState(loaded.records.front().schedule, 1000));
  file = readIniFile("Qvn.ini", [&] { return writeFile(path_, content); });
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->state == IniFile::State::Unreadable && file->sections.empty());
  EXPECT_EQ(file->whyUnreadable, "it changed during each of 3 reads");
}
