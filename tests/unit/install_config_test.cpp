#include "install/install_config.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

IniFile installFile(const std::vector<std::pair<std::string, Names>> &sections) {
  IniFile file;
  file.state = IniFile::State::Read;
  for (const auto &[name, lines] : sections) {
    IniSection &s = file.sections.emplace_back();
    s.name = name;
    addSectionLines(s, lines);
  }
  return file;
}

// "a, b" once installed a service named " b": blanks and tabs around a name
// are not part of it, blanks inside it are; empty names are skipped.
TEST(InstallConfig, ServiceListsSplitAtCommasTrimmingAndSkippingEmptyNames) {
  EXPECT_EQ(splitServiceList("fah1,fah2,fah3"), (Names{"fah1", "fah2", "fah3"}));
  EXPECT_EQ(splitServiceList(",,a,, b,,,"), (Names{"a", "b"}));
  EXPECT_EQ(splitServiceList(" a ,\tb\t, \t ,c d "), (Names{"a", "b", "c d"}));
  EXPECT_EQ(splitServiceList(" \t,, "), Names{});
  IniFile file = installFile({{"Configurations", {"first=a,b", "second=c"}}});
  EXPECT_EQ(chooseConfigurationName(std::string("second"), file), "second");
  EXPECT_EQ(chooseConfigurationName(std::nullopt, file), "first");
  EXPECT_EQ(chooseConfigurationName(std::nullopt, IniFile{}), "");
  EXPECT_EQ(configurationServices(file, "FIRST"), (Names{"a", "b"}));
  EXPECT_EQ(configurationServices(file, "third"), Names{});
}

TEST(InstallConfig, AServiceSectionOverridesGeneralWhichOverridesTheDefault) {
  IniFile file =
      installFile({{"General",
                    {"Directory=C:\\general", "ExecutableName=fah.exe", "UseForceAsm=y",
                     "UseBeta=n", "Verbosity=5", "Description=General", "Display=General"}},
                   {"A", {"UseForceAsm=n", "UseAdvMethods=y", "Verbosity=", "Display=Client A"}},
                   {"B",
                    {"Directory=C:\\b", "ExecutableName=b.exe", "UseBeta=y", "UseAdvMethods=Y",
                     "Description=Second"}}});
  ClientSettings a = clientSettings(file, "A");
  EXPECT_EQ(a.directory, ""); // never from "General"
  EXPECT_EQ(a.executable, "fah.exe");
  EXPECT_FALSE(a.forceAsm);
  EXPECT_TRUE(a.advMethods);
  EXPECT_EQ(a.useBeta, "n");
  EXPECT_EQ(a.verbosity, ""); // given empty: not the general one
  EXPECT_EQ(a.display, "Client A");
  EXPECT_EQ(buildAppParameters(a), "-service -local -advmethods");
  ClientSettings b = clientSettings(file, "B");
  EXPECT_EQ(b.directory, "C:\\b");
  EXPECT_EQ(b.display, "B"); // never from "General"
  EXPECT_EQ(b.description, "Second");
  EXPECT_EQ(buildAppParameters(b), "-service -local -forceasm -betateam -verbosity 5");
  ClientSettings all;
  all.forceAsm = all.advMethods = true;
  all.useBeta = "y";
  all.verbosity = "9";
  EXPECT_EQ(buildAppParameters(all),
            "-service -local -forceasm -advmethods -betateam -verbosity 9");
  EXPECT_EQ(clientSettings(IniFile{}, "C").useBeta, ""); // absent: no beta line
}

} // namespace
