#include "common/profile_flag.h"
#include "host/command_line.h"
#include "install/client_parameters.h"

#include <gtest/gtest.h>

namespace {

TEST(Flags, OnlyLowerCaseYSetsAFlag) {
  EXPECT_TRUE(isFlagSet("y"));
  for (const char *value : {"Y", "yes", "n", "", " y", "y ", "1", "true"})
    EXPECT_FALSE(isFlagSet(value)) << "'" << value << "'";
}

TEST(AppParameters, OptionsFollowTheBaseInFixedOrder) {
  EXPECT_EQ(buildAppParameters({}), "-service -local");
  EXPECT_EQ(buildAppParameters({true, true, true, "9"}),
            "-service -local -forceasm -advmethods -betateam -verbosity 9");
  EXPECT_EQ(buildAppParameters({false, true, false, ""}), "-service -local -advmethods");
  EXPECT_EQ(buildAppParameters({false, false, true, "5"}),
            "-service -local -betateam -verbosity 5");
}

TEST(HostCommandLine, ApplicationIsQuotedSoBlanksStayInItsPath) {
  EXPECT_EQ(buildCommandLine("C:\\Program Files\\FAH\\fah.exe", "-service -local"),
            "\"C:\\Program Files\\FAH\\fah.exe\" -service -local");
}

} // namespace
