// Reading INI files through the real profile functions: whole however long,
// key lines as written, and what the functions would not tell (a missing or
// held file, a UTF-8 mark, a name outside the code page).
#include "config/ini_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace qvntest;

namespace {

class IniReader : public ::testing::Test {
protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(path_.c_str());
  }
  IniFile read(const std::string &content) {
    EXPECT_TRUE(writeFile(path_, content));
    return readIniFile("Qvn.ini").value();
  }
  std::string path_ = windowsDir() + "\\Qvn.ini";
};

TEST_F(IniReader, LongListsAndValuesAreReadWholeWithTheirKeyLines) {
  // 300 names of 20 characters and 400 tokens: each far past 2,048 characters.
  std::string content = "; a comment\r\n[First]\r\nStart = 1:0800\r\nStopp=x\r\n"
                        "start=2:0800\r\nbare line\r\n";
  for (int i = 0; i < 300; ++i)
    content += "[QvnScheduledSvc" + std::to_string(10000 + i) + "]\r\n";
  content += "Start=";
  for (int i = 0; i < 400; ++i) {
    char token[16];
    std::snprintf(token, sizeof token, "%d:%02d%02d;", i % 7, i / 60, i % 60);
    content += token;
  }
  IniFile file = read(content + "\r\n");
  ASSERT_EQ(file.state, IniFile::State::Read);
  ASSERT_EQ(file.sections.size(), 301u);
  EXPECT_EQ(file.sections.back().name, "QvnScheduledSvc10299");
  EXPECT_EQ(file.sections.back().value("Start", "").size(), 400u * 7);
  const IniSection &first = file.sections.front();
  EXPECT_EQ(first.keys, (std::vector<std::string>{"Start", "Stopp", "start", "bare line"}));
  EXPECT_EQ(first.value("START", ""), "1:0800"); // the first line of a repeated key
  EXPECT_TRUE(file.hasContent && !file.utf8Mark && !first.nameLost);
}

TEST_F(IniReader, WhatTheProfileFunctionsDoNotSay) {
  EXPECT_EQ(readIniFile("Qvn.ini")->state, IniFile::State::Missing);
  ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
  EXPECT_EQ(readIniFile("Qvn.ini")->state, IniFile::State::Missing);
  RemoveDirectoryA(path_.c_str());

  // Held by a program that shares nothing: not an empty schedule.
  ASSERT_TRUE(writeFile(path_, "[Spooler]\r\nStart=1:0800\r\n"));
  HANDLE held = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  IniFile file = readIniFile("Qvn.ini").value();
  CloseHandle(held);
  EXPECT_EQ(file.state, IniFile::State::Unreadable);
  EXPECT_FALSE(file.whyUnreadable.empty());

  EXPECT_TRUE(read("\xEF\xBB\xBF[Spooler]\r\nStart=1:0800\r\n").utf8Mark);
  // UTF-16 without its mark: text, but no section the functions see.
  std::string utf16;
  for (char c : std::string("[Spooler]\r\nStart=1:0800\r\n"))
    utf16 += std::string(1, c) + '\0';
  file = read(utf16);
  EXPECT_TRUE(file.hasContent && file.sections.empty());

  // UTF-16 with its mark and a Cyrillic name: that section alone is marked.
  std::string named = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[\u0421\u043B\u0443\u0436\u0431\u0430]\r\n[Spooler]\r\n"))
    named += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  file = read(named);
  ASSERT_EQ(file.sections.size(), 2u);
  EXPECT_TRUE(file.sections[0].nameLost);
  EXPECT_FALSE(file.sections[1].nameLost);
  EXPECT_EQ(file.sections[1].name, "Spooler");

  // A stop asked for during the read ends it.
  int asked = 0;
  EXPECT_FALSE(readIniFile("Qvn.ini", [&] { return ++asked < 2; }));
}

} // namespace
