#include "app/options.h"

#include <gtest/gtest.h>

namespace {

Invocation parse(std::initializer_list<const char *> args) {
  std::vector<const char *> argv(args);
  return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(Options, OnlyTheWholeOptionInItsCaseMatches) {
  EXPECT_EQ(parse({"Qvn", "-install_fah"}).command, Command::InstallFah);
  for (const char *arg :
       {"-TEST", "-test ", "-instal", "-install_", "-install_fahx", "install", ""})
    EXPECT_EQ(parse({"Qvn", arg}).command, Command::Unknown) << "'" << arg << "'";
  EXPECT_EQ(parse({"Qvn"}).command, Command::Missing);
  EXPECT_EQ(parseCommandLine(0, nullptr).command, Command::Missing);
}

TEST(Options, ConfigurationNameOnlyForClientOptions) {
  EXPECT_EQ(parse({"Qvn", "-desinstall_fah", "home", "extra"}).configuration,
            std::optional<std::string>("home"));
  EXPECT_FALSE(parse({"Qvn", "-install_fah"}).configuration);
  EXPECT_FALSE(parse({"Qvn", "-install", "work"}).configuration);
  EXPECT_EQ(parse({"Qvn", "-test", "my.ini"}).scheduleFile, std::optional<std::string>("my.ini"));
  EXPECT_FALSE(parse({"Qvn", "-test", "my.ini"}).configuration);
}

} // namespace
