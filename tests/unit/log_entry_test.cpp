// A log entry's text in the file and in an event, and which file the log may be written to.
#include "common/system_numbers.h"
#include "log/log_entry.h"

#include <gtest/gtest.h>

TEST(LogText, ErrorEntryTrimsTheMessageAndLinesEndInOneCrLf) {
  EXPECT_EQ(errorEntry("A", "No. \r\n") + errorEntry("B", "\r\n"), "A\n  No.\nB\n");
  EXPECT_EQ(fileText(errorEntry(nullptr, "Two\r\nlines\r\n") + "\n"), "  Two\r\nlines\r\n\r\n");
  // An event keeps the inner line breaks only.
  EXPECT_EQ(eventText(errorEntry("StartService", "Refused.\r\n")), "StartService\r\n  Refused.");
  EXPECT_EQ(eventType(LogKind::Error), events::kErrorType);
  EXPECT_EQ(eventType(LogKind::Warning), events::kWarningType);
  EXPECT_EQ(eventType(LogKind::Information), events::kInformationType);
  // Many lines as one event: the count and the first few.
  const std::vector<std::string> lines{"a", "b", "c"};
  EXPECT_EQ(eventDigest({"a"}, 2, "x", "L"), "a");
  EXPECT_EQ(eventDigest(lines, 3, "x", "L"), "3 x:\na\nb\nc");
  EXPECT_EQ(eventDigest(lines, 2, "x", "L"), "3 x, the first 2 (all in L):\na\nb");
}

TEST(LogTarget, OnlyAPlainFileOfItsOwnUnderItsOwnNameIsWritten) {
  const struct {
    OpenedFile file;
    const char *reason;
  } kCases[] = {
      {{false, false, 1, "\\\\?\\C:\\Qvn.log"}, ""},
      {{false, false, 1, "\\\\?\\c:\\QVN.LOG"}, ""},
      {{true, false, 1, "\\\\?\\C:\\Qvn.log"}, "it is a folder"},
      {{false, true, 1, "\\\\?\\C:\\Qvn.log"}, "it is a link"},
      {{false, false, 2, "\\\\?\\C:\\Qvn.log"}, "it has 2 hard links"},
      {{false, false, 1, "\\\\?\\C:\\Windows\\win.ini"}, "it leads to C:\\Windows\\win.ini"},
      {{false, false, 1, ""}, "its final path is unknown"},
  };
  for (const auto &c : kCases)
    EXPECT_EQ(unusableReason("C:\\Qvn.log", c.file), c.reason) << c.file.finalPath;
}

// Bounded whatever holds the files, and no part of an entry left behind.
TEST(LogFile, RotationAndCutBack) {
  using R = Rotation;
  // size (limit 100), .old usable, a move failed before.
  const std::tuple<std::int64_t, bool, bool, R> rotations[] = {
      {100, true, false, R::None},        {101, true, false, R::Move},
      {101, true, true, R::CopyAndEmpty}, {101, false, false, R::Empty},
      {101, false, true, R::Empty},       {100, false, true, R::None}};
  for (const auto &[size, oldUsable, moveFailed, rotation] : rotations)
    EXPECT_EQ(rotationFor(size, 100, oldUsable, moveFailed), rotation) << size << oldUsable;
  // Size before, size after, bytes of the entry: cut back to, or -1 (left).
  const std::tuple<std::int64_t, std::int64_t, std::size_t, std::int64_t> cuts[] = {
      {50, 50, 10, -1}, {50, 53, 10, 50}, {50, 60, 10, 50}, {50, 61, 10, -1}, {50, 40, 10, -1}};
  for (const auto &[before, after, bytes, to] : cuts)
    EXPECT_EQ(cutBackTo(before, after, bytes).value_or(-1), to) << after;
  EXPECT_EQ(lossNotice("L", 1, "a", "b", "Full."), "1 entry not written to L from a to b: Full.");
}
