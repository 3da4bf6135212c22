#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

Invocation parse(std::initializer_list<const char *> args) {
  std::vector<const char *> argv(args);
  return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, OnlyTheWholeOptionInItsCaseMatches) {
  EXPECT_EQ(parse({"Qvn", "-install_fah"}).command, Command::InstallFah);
  EXPECT_EQ(parse({"Qvn", "-install"}).command, Command::Install);
  for (const char *arg :
       {"-TEST", "-test ", "-instal", "-install_", "-install_fahx", "install", ""})
    EXPECT_EQ(parse({"Qvn", arg}).command, Command::Unknown) << "'" << arg << "'";
  EXPECT_EQ(parse({"Qvn"}).command, Command::Missing);
  EXPECT_EQ(parseCommandLine(0, nullptr).command, Command::Missing);
}

TEST(CommandLine, ASecondArgumentOnlyForTheOptionsThatTakeOne) {
  EXPECT_EQ(parse({"Qvn", "-desinstall_fah", "home", "extra"}).argument,
            std::optional<std::string>("home"));
  EXPECT_FALSE(parse({"Qvn", "-install_fah"}).argument);
  EXPECT_FALSE(parse({"Qvn", "-install", "work"}).argument);
  EXPECT_FALSE(parse({"Qvn", "-service", "x"}).argument);
  EXPECT_EQ(parse({"Qvn", "-test", "my.ini"}).argument, std::optional<std::string>("my.ini"));
}

} // namespace
