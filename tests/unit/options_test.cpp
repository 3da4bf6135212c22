#include "app/options.h"

#include <gtest/gtest.h>

namespace {

Invocation parse(std::initializer_list<const char *> args) {
  std::vector<const char *> argv(args);
  return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(Options, EachOptionMatchesOnlyItself) {
  EXPECT_EQ(parse({"Qvn", "-install"}).command, Command::Install);
  EXPECT_EQ(parse({"Qvn", "-install_fah"}).command, Command::InstallFah);
  EXPECT_EQ(parse({"Qvn", "-desinstall"}).command, Command::Desinstall);
  EXPECT_EQ(parse({"Qvn", "-desinstall_fah"}).command, Command::DesinstallFah);
  EXPECT_EQ(parse({"Qvn", "-test"}).command, Command::Test);
  EXPECT_EQ(parse({"Qvn", "-service"}).command, Command::Service);
}

TEST(Options, NearMissesAreUnknown) {
  for (const char *arg :
       {"-TEST", "-test ", "-instal", "-install_", "-install_fahx", "install", ""})
    EXPECT_EQ(parse({"Qvn", arg}).command, Command::Unknown) << "'" << arg << "'";
}

TEST(Options, NoArgumentIsMissing) {
  EXPECT_EQ(parse({"Qvn"}).command, Command::Missing);
  EXPECT_EQ(parseCommandLine(0, nullptr).command, Command::Missing);
}

TEST(Options, ConfigurationNameOnlyForClientOptions) {
  EXPECT_EQ(parse({"Qvn", "-install_fah", "work"}).configuration,
            std::optional<std::string>("work"));
  EXPECT_EQ(parse({"Qvn", "-desinstall_fah", "home", "extra"}).configuration,
            std::optional<std::string>("home"));
  EXPECT_FALSE(parse({"Qvn", "-install_fah"}).configuration);
  EXPECT_FALSE(parse({"Qvn", "-install", "work"}).configuration);
}

} // namespace
