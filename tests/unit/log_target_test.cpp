#include "log/log_entry.h"

#include <gtest/gtest.h>

TEST(LogTarget, OnlyAPlainFileOfItsOwnUnderItsOwnNameIsWritten) {
  const std::string kLog = "C:\\Qvn.log";
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
    EXPECT_EQ(unusableReason(kLog, c.file), c.reason) << c.file.finalPath;
}
