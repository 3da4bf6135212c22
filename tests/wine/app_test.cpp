// The real Qvn.exe from a console: banner, usage, exit codes, log file.
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

const std::string kUsage = "Usage:\r\n"
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

std::string qvn() { return "\"" + programPath("Qvn.exe") + "\""; }

TEST(App, IsA32Or64BitConsoleProgram) {
  std::string image = readFile(programPath("Qvn.exe"));
  ASSERT_GT(image.size(), 0x200u);
  DWORD peOffset = *reinterpret_cast<const DWORD *>(image.data() + 0x3C);
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(image.data() + peOffset);
  EXPECT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
#ifdef _WIN64
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
#endif
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

TEST(App, NoArgumentPrintsBannerAndUsageAndFails) {
  RunResult r = run(qvn());
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.output, kBanner + kUsage);
}

TEST(App, TestPrintsOnlyTheBanner) {
  RunResult r = run(qvn() + " -test");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.output, kBanner);
}

TEST(App, OptionsMatchWholeAndCaseSensitive) {
  for (const char *arg : {"-TEST", "\"-test \"", "-instal", "-install_fahx"}) {
    RunResult r = run(qvn() + " " + arg);
    EXPECT_EQ(r.exitCode, 0u) << arg;
    EXPECT_EQ(r.output, kBanner + kUsage) << arg;
  }
}

// A dispatcher call from a console takes Wine some 10 s to refuse, so one
// test covers both the failure entry and two runs appending in order.
TEST(App, ServiceFromConsoleFailsAndEveryRunAppendsToTheLog) {
  ASSERT_TRUE(writeFile("C:\\Qvn.log", "earlier entry\r\n"));
  for (int i = 0; i < 2; ++i) {
    RunResult r = run(qvn() + " -service");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output, kBanner);
  }
  std::string text = readFile("C:\\Qvn.log");
  const std::string entry = "StartServiceCtrlDispatcher()\r\n  ";
  ASSERT_EQ(text.rfind("earlier entry\r\n" + entry, 0), 0u) << text;
  // Context line, then two blanks and the system's message, ending in its
  // own line break; then the second run's entry.
  size_t second = text.find(entry, entry.size());
  ASSERT_NE(second, std::string::npos) << text;
  std::string message = text.substr(15 + entry.size(), second - 15 - entry.size());
  EXPECT_GT(message.size(), 4u);
  EXPECT_EQ(message.substr(message.size() - 2), "\r\n");
  EXPECT_EQ(text.substr(second), entry + message);
}

TEST(App, LargeLogIsRotatedAtStart) {
  DeleteFileA("C:\\Qvn.log.old");
  std::string big = "old run\r\n" + std::string(1024 * 1024, 'x');
  ASSERT_TRUE(writeFile("C:\\Qvn.log", big));
  run(qvn() + " -test");
  EXPECT_EQ(readFile("C:\\Qvn.log.old"), big);
  EXPECT_TRUE(fileExists("C:\\Qvn.log"));
  EXPECT_EQ(readFile("C:\\Qvn.log"), "");

  // At the limit itself nothing moves.
  DeleteFileA("C:\\Qvn.log.old");
  ASSERT_TRUE(writeFile("C:\\Qvn.log", std::string(1024 * 1024, 'y')));
  run(qvn() + " -test");
  EXPECT_FALSE(fileExists("C:\\Qvn.log.old"));
  EXPECT_EQ(readFile("C:\\Qvn.log").size(), 1024u * 1024u);
}

} // namespace
