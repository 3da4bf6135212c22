// The installers' decisions: configurations and client settings read from the install file,
// which services our host runs, and who besides the trusted accounts may change what runs.
#include "install/change_access.h"
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

TEST(InstallConfig, ListsAndSettingsWithAServiceSectionOverGeneralOverTheDefault) {
  // "a, b" once installed a service named " b": blanks and tabs around a name are not part of
  // it, blanks inside it are; empty names are skipped.
  EXPECT_EQ(splitServiceList(",,a,, b,,,"), (Names{"a", "b"}));
  EXPECT_EQ(splitServiceList(" a ,\tb\t, \t ,c d "), (Names{"a", "b", "c d"}));
  EXPECT_EQ(splitServiceList(" \t,, "), Names{});
  IniFile file =
      installFile({{"Configurations", {"first=a,b", "second=c"}},
                   {"General",
                    {"Directory=C:\\general", "ExecutableName=fah.exe", "UseForceAsm=y",
                     "UseBeta=n", "Verbosity=5", "Description=General", "Display=General"}},
                   {"A", {"UseForceAsm=n", "UseAdvMethods=y", "Verbosity=", "Display=Client A"}},
                   {"B",
                    {"Directory=C:\\b", "ExecutableName=b.exe", "UseBeta=y", "UseAdvMethods=Y",
                     "Description=Second"}}});
  EXPECT_EQ(chooseConfigurationName(std::string("second"), file), "second");
  EXPECT_EQ(chooseConfigurationName(std::nullopt, file), "first");
  EXPECT_EQ(chooseConfigurationName(std::nullopt, IniFile{}), "");
  EXPECT_EQ(configurationServices(file, "FIRST"), (Names{"a", "b"}));
  EXPECT_EQ(configurationServices(file, "third"), Names{});
  // Directory and Display never come from "General"; a value given empty is not the general one.
  ClientSettings a = clientSettings(file, "A"), b = clientSettings(file, "B");
  EXPECT_EQ((Names{a.directory, a.executable, a.useBeta, a.verbosity, a.display}),
            (Names{"", "fah.exe", "n", "", "Client A"}));
  EXPECT_EQ(buildAppParameters(a), "-service -local -advmethods");
  EXPECT_EQ((Names{b.directory, b.executable, b.display, b.description}),
            (Names{"C:\\b", "b.exe", "B", "Second"}));
  EXPECT_EQ(buildAppParameters(b), "-service -local -forceasm -betateam -verbosity 5");
  a.forceAsm = true;
  a.useBeta = "y";
  a.verbosity = "9";
  EXPECT_EQ(buildAppParameters(a), "-service -local -forceasm -advmethods -betateam -verbosity 9");
  EXPECT_EQ(clientSettings(IniFile{}, "C").useBeta, ""); // absent: no beta line
}

// Ours also unquoted, as an older installer wrote it; not a program named srvany.exe.bak, one
// in a directory named srvany.exe, or one given srvany.exe as its argument.
TEST(InstallConfig, OnlyAProgramNamedSrvanyExeIsOurHost) {
  for (const char *path : {"\"C:\\fah\\client a\\srvany.exe\"", "\"C:\\fah\\SrvAny.EXE\" -x",
                           "C:\\Program Files\\fah\\srvany.exe"})
    EXPECT_TRUE(isHostedByServiceHost(path)) << path;
  for (const char *path : {"C:\\fah\\victim.exe C:\\fah\\srvany.exe", "C:\\fah\\srvany.exe.bak",
                           "\"C:\\fah\\srvany.exe\\other.exe\"", "C:\\fah\\notsrvany.exe", ""})
    EXPECT_FALSE(isHostedByServiceHost(path)) << path;
}

// Beside the SDDL table of the Windows library tests: which rights count, which denies cover
// an account, entries that stand for the owner.
TEST(ChangeAccess, OnlyTrustedAccountsMayChangeWhatRuns) {
  const std::string me = "S-1-5-21-1-2-3-1001", other = "S-1-5-21-1-2-3-1002";
  const std::string everyone = "S-1-1-0", users = "S-1-5-32-545";
  const std::uint32_t read = 0x1200a9, modify = 0x1301bf;
  using T = AccessEntry::Type;
  // An account's entries, and who of them may change what runs (empty: none).
  const std::pair<std::vector<AccessEntry>, std::string> kCases[] = {
      {{{T::Allow, everyone, read | 0x110}}, ""},     // reads, writes attributes, extended ones
      {{{T::Allow, users, 0x4}}, users},              // only adds folders
      {{{T::Allow, users, 0x40}}, users},             // deletes children
      {{{T::Allow, other, 0x80000}}, other},          // takes ownership
      {{{T::Allow, everyone, 0x40000000}}, everyone}, // generic write
      {{{T::Deny, everyone, 0x40000000 | 0x50040}, {T::Allow, users, modify}}, ""}, // denied first
      {{{T::Deny, other, modify}, {T::Allow, users, modify}}, users},  // denied another account
      {{{T::Other, users, modify}, {T::Allow, users, modify}}, users}, // a conditional deny
      {{{T::Allow, "S-1-3-0", 0x1f01ff}}, ""}}; // CREATOR OWNER stands for the owner
  for (const auto &[dacl, changer] : kCases) {
    std::optional<Changer> found = untrustedChanger({me, true, dacl}, me);
    EXPECT_EQ(found ? found->sid : "", changer) << dacl.front().sid << " " << dacl.front().mask;
  }
  EXPECT_FALSE(untrustedChanger({"", true, {}}, me)); // no owner, nothing granted
  // The installer's own account is trusted only as itself.
  EXPECT_TRUE(untrustedChanger({me, true, {}}, ""));
  // The fix removes inheritance or hands over ownership; the lines for Everyone's entries are
  // checked in the installer's Wine tests.
  EXPECT_EQ(icaclsFix("C:\\FAH\\c1\\srvany.exe", false, {Changer::Why::Rights, users}),
            "icacls \"C:\\FAH\\c1\\srvany.exe\" /inheritance:r /grant:r *S-1-5-18:F"
            " *S-1-5-32-544:F *S-1-5-32-545:RX");
  EXPECT_EQ(icaclsFix("C:\\q", true, {Changer::Why::Owner, other}),
            "icacls \"C:\\q\" /setowner *S-1-5-32-544");
}

} // namespace
