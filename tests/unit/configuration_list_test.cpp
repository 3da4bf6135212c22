#include "install/configuration_list.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

// "a, b" once installed a service named " b": blanks and tabs around a name
// are not part of it, blanks inside it are; empty names are skipped.
TEST(ServiceList, SplitsAtCommasTrimmingAndSkippingEmptyNames) {
  EXPECT_EQ(splitServiceList("fah1,fah2,fah3"), (Names{"fah1", "fah2", "fah3"}));
  EXPECT_EQ(splitServiceList(",,a,, b,,,"), (Names{"a", "b"}));
  EXPECT_EQ(splitServiceList(" a ,\tb\t, \t ,c d "), (Names{"a", "b", "c d"}));
  EXPECT_EQ(splitServiceList(" \t,, "), Names{});
}

TEST(ConfigurationName, GivenNameWinsElseFirstKeyOfTheListing) {
  const std::string listing("first\0second\0\0", 14);
  EXPECT_EQ(chooseConfigurationName(std::string("second"), listing), "second");
  EXPECT_EQ(chooseConfigurationName(std::nullopt, listing), "first");
  EXPECT_EQ(chooseConfigurationName(std::nullopt, ""), "");
}

} // namespace
