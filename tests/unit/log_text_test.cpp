#include "log/log_entry.h"
#include <gtest/gtest.h>

TEST(LogText, ErrorEntryTrimsTheMessageAndLinesEndInOneCrLf) {
  EXPECT_EQ(errorEntry("A", "No. \r\n") + errorEntry("B", "\r\n"), "A\n  No.\nB\n");
  EXPECT_EQ(fileText(errorEntry(nullptr, "Two\r\nlines\r\n") + "\n"), "  Two\r\nlines\r\n\r\n");
  // An event keeps the inner line breaks only.
  EXPECT_EQ(eventText(errorEntry("StartService", "Refused.\r\n")), "StartService\r\n  Refused.");
  EXPECT_EQ(eventText("\n\r\n"), "");
}
