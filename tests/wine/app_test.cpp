// The real Qvn.exe from a console: banner, usage, exit codes, log file.
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

TEST(App, NoArgumentOrAnUnknownOnePrintsTheUsage) {
  const std::string usage = "Usage:\r\n"
                            "   Qvn -install\r\n"
                            "      Install Quorvane\r\n"
                            "   Qvn -install_fah <configuration>\r\n"
                            "      Install Folding@Home as a service\r\n"
                            "   Qvn -desinstall\r\n"
                            "      Desinstall Quorvane\r\n"
                            "   Qvn -desinstall_fah <configuration>\r\n"
                            "      Desinstall Folding@Home as a service\r\n"
                            "   Qvn -test\r\n"
                            "      Test Quorvane configuration\r\n"
                            "\r\n";
  RunResult r = runQvn("");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output, kBanner + usage);
  r = runQvn("-TEST");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner + usage);
}

// A dispatcher call from a console takes Wine some 10 s to refuse, so one
// test covers both the failure entry and two runs appending in order.
TEST(App, ServiceFromConsoleFailsAndEveryRunAppendsToTheLog) {
  ASSERT_TRUE(writeFile("C:\\Qvn.log", "earlier entry\r\n"));
  for (int i = 0; i < 2; ++i) {
    RunResult r = runQvn("-service");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output, kBanner);
  }
  const std::string entry = logErrorEntry("StartServiceCtrlDispatcher()", 1063);
  EXPECT_EQ(readFile("C:\\Qvn.log"), "earlier entry\r\n" + entry + entry);
}

} // namespace
