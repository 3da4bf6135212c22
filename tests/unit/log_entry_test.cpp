// A log entry's text in the file and in an event, and which file the log may be written to.
#include "log/log_entry.h"

#include <gtest/gtest.h>

TEST(LogText, ErrorEntryTrimsTheMessageAndLinesEndInOneCrLf) {
  EXPECT_EQ(errorEntry("A", "No. \r\n") + errorEntry("B", "\r\n"), "A\n  No.\nB\n");
  EXPECT_EQ(fileText(errorEntry(nullptr, "Two\r\nlines\r\n") + "\n"), "  Two\r\nlines\r\n\r\n");
  // An event keeps the inner line breaks only.
  EXPECT_EQ(eventText(errorEntry("StartService", "Refused.\r\n")), "StartService\r\n  Refused.");
  EXPECT_EQ(eventText("\n\r\n"), "");
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
      {{false, false, 1, "\\\\?\\C:\\Qvn.log.old"}, "it leads to C:\\Qvn.log.old"},
      {{false, false, 1, "\\\\?\\UNC\\host\\share\\Qvn.log"},
       "it leads to \\\\host\\share\\Qvn.log"},
      {{false, false, 1, ""}, "its final path is unknown"},
  };
  for (const auto &c : kCases)
    EXPECT_EQ(unusableReason("C:\\Qvn.log", c.file), c.reason) << c.file.finalPath;
}
