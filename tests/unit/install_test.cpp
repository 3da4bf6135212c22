// The installers' decisions: configurations and client settings read from the install file,
// the plan of a run and of a client service, which services our host runs, and who besides the
// trusted accounts may change what runs.
#include "install/change_access.h"
#include "install/client_plan.h"
#include "install/install_config.h"

#include <gtest/gtest.h>

#include <tuple>

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
  EXPECT_EQ(splitServiceList(",, a ,\tb\t, \t ,c d ,"), (Names{"a", "b", "c d"}));
  IniFile file =
      installFile({{"Configurations", {"first=a,b"}},
                   {"General",
                    {"Directory=C:\\general", "ExecutableName=fah.exe", "UseForceAsm=y",
                     "UseBeta=n", "Verbosity=5", "Description=General", "Display=General"}},
                   {"A", {"UseForceAsm=n", "UseAdvMethods=y", "Verbosity=", "Display=Client A"}},
                   {"B",
                    {"Directory=C:\\b", "ExecutableName=b.exe", "UseBeta=y", "UseAdvMethods=Y",
                     "Description=Second"}}});
  EXPECT_EQ(configurationServices(file, "FIRST"), (Names{"a", "b"}));
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
}

// What a run works on, said first: the configuration named or the first, of a file Windows reads
// as written; then each service's settings or why it is refused, before anything is done.
TEST(ClientPlan, TheWorkAndEachServiceAreSaidOrRefusedBeforeAnythingIsDone) {
  IniFile file = installFile({{"Configurations", {"first=a, b", "empty="}},
                              {"General", {"ExecutableName=fah.exe", "Description=General"}},
                              {"A", {"Directory=rel", "UseForceAsm=y", "UseBeta=n", "Display=A"}},
                              {"NoExe", {"Directory=C:\\n", "ExecutableName="}},
                              {"Bad", {"Directory=bad"}}});
  IniFile unreadable, marked = file; // a UTF-8 mark: Windows would not read the first section
  unreadable.state = IniFile::State::Unreadable;
  unreadable.whyUnreadable = "Access denied.";
  marked.utf8Mark = true;
  const std::tuple<IniFile, const char *, Names, Names> kWork[] = {
      {file, nullptr, {"Installing configuration first"}, {"a", "b"}},
      {file,
       "empty",
       {"Installing configuration empty",
        "Configuration empty not found or empty in .\\Qvn_install.ini"},
       {}},
      {unreadable, "a", {".\\Qvn_install.ini cannot be read: Access denied."}, {}},
      {marked,
       "first",
       {".\\Qvn_install.ini starts with a UTF-8 byte-order mark, which Windows does not read: save "
        "it as ANSI or Unicode"},
       {}},
      {IniFile{}, nullptr, {"No configuration name found"}, {}}};
  for (const auto &[ini, name, lines, services] : kWork) {
    ConfigurationWork work = planConfigurationWork(
        ini, name ? std::optional<std::string>(name) : std::nullopt, "Installing");
    EXPECT_EQ(work.lines, lines);
    EXPECT_EQ(work.services, services);
    EXPECT_EQ(work.usable, lines[0].rfind("Installing", 0) == 0) << lines[0];
  }
  const PathQueries system{[](const std::string &path) -> std::optional<std::string> {
                             if (path == "bad")
                               return std::nullopt;
                             return "C:\\work\\" + path;
                           },
                           [](const std::string &) { return false; }};
  ClientPlan a = planClientService(file, "A", system);
  EXPECT_EQ(a.lines,
            (Names{" Installing service A", "  Directory: C:\\work\\rel", "  Executable: fah.exe",
                   "  Warning: C:\\work\\rel\\fah.exe not found, the service needs it to start",
                   "  Use forceasm: yes", "  Use advmethods: no", "  Use beta: no",
                   "  Description: General"}));
  EXPECT_EQ((Names{a.display, a.description, a.directory, a.application, a.parameters}),
            (Names{"A", "General", "C:\\work\\rel", "C:\\work\\rel\\fah.exe",
                   "-service -local -forceasm"}));
  EXPECT_FALSE(a.refused);
  // Refused: what was said before, then why.
  for (const auto &[service, why] : {std::pair{"C", "Directory not configured"},
                                     {"Bad", "  Error GetFullPathName"},
                                     {"NoExe", "ExecutableName not configured"}}) {
    ClientPlan refused = planClientService(file, service, system);
    EXPECT_TRUE(refused.refused && refused.lines.back() == why) << service;
    EXPECT_EQ(refused.lines.size(), service == std::string("NoExe") ? 3u : 2u);
  }
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

// Beside the SDDL table of the Windows library tests: which rights count for the program and
// its folder and for a folder above, which denies cover an account, entries standing for the owner.
TEST(ChangeAccess, OnlyTrustedAccountsMayChangeWhatRunsOrAFolderAbove) {
  const std::string me = "S-1-5-21-1-2-3-1001", other = "S-1-5-21-1-2-3-1002";
  const std::string everyone = "S-1-1-0", users = "S-1-5-32-545", authenticated = "S-1-5-11";
  const std::uint32_t read = 0x1200a9, modify = 0x1301bf;
  using T = AccessEntry::Type;
  // C:\ as Windows sets it up: users may add folders, and what they add inherits Modify.
  const std::vector<AccessEntry> root = {{T::Allow, "S-1-5-32-544", 0x1f01ff},
                                         {T::Allow, users, read},
                                         {T::Allow, authenticated, 0xe0010000, true},
                                         {T::Allow, authenticated, 0x4}};
  // An account's entries, whether they are judged for a folder above, and who of them may
  // change what runs (empty: none).
  const std::tuple<std::vector<AccessEntry>, bool, std::string> kCases[] = {
      {{{T::Allow, everyone, read | 0x110}}, false, ""}, // reads, writes attributes, extended ones
      {{{T::Allow, users, 0x4}}, false, users},          // only adds folders
      {root, false, authenticated},
      {root, true, ""},
      {{{T::Allow, authenticated, modify}}, true, authenticated}, // inherited Modify: deletes
      {{{T::Allow, everyone, 0x40000000 | 0x2}}, true, ""},       // generic write, adds files
      {{{T::Allow, users, 0x40}}, true, users},                   // deletes children
      {{{T::Allow, other, 0x80000}}, true, other},                // takes ownership
      {{{T::Allow, everyone, 0x40000000}}, false, everyone},      // generic write
      {{{T::Deny, everyone, 0x40000000 | 0x50040}, {T::Allow, users, modify}}, false, ""},
      {{{T::Deny, authenticated, 0xd0040}, {T::Allow, authenticated, modify}}, true, ""},
      {{{T::Deny, other, modify}, {T::Allow, users, modify}}, true, users},   // another account
      {{{T::Allow, users, modify}, {T::Deny, users, modify}}, true, users},   // a deny after it
      {{{T::Other, users, modify}, {T::Allow, users, modify}}, false, users}, // a conditional deny
      {{{T::Allow, "S-1-3-0", 0x1f01ff}}, false, ""}}; // CREATOR OWNER stands for the owner
  for (const auto &[dacl, above, changer] : kCases) {
    std::optional<Changer> found =
        untrustedChanger({me, true, dacl}, me, above ? Role::Above : Role::Program);
    EXPECT_EQ(found ? found->sid : "", changer) << dacl.back().sid << " " << dacl.back().mask;
  }
  EXPECT_FALSE(untrustedChanger({"", true, {}}, me)); // no owner, nothing granted
  // The installing administrator's own account is not trusted: unelevated, its programs may
  // change what it may.
  std::optional<Changer> mine = untrustedChanger({me, true, {{T::Allow, me, 0x1f01ff}}}, "");
  EXPECT_TRUE(mine && mine->why == Changer::Why::Owner && mine->sid == me);
  mine = untrustedChanger({"S-1-5-32-544", true, {{T::Allow, me, 0x1f01ff}}}, "", Role::Above);
  EXPECT_TRUE(mine && mine->why == Changer::Why::Rights && mine->sid == me);
}

TEST(ChangeAccess, FixLinesAreWellFormedAndNeverTouchADrivesRoot) {
  const std::string me = "S-1-5-21-1-2-3-1001", users = "S-1-5-32-545";
  const Changer usersWrite{Changer::Why::Rights, users},
      everyoneWrite{Changer::Why::Rights, "S-1-1-0"};
  const std::string folderGrant = " /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F "
                                  "*S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX";
  EXPECT_EQ(fixLine("C:\\FAH\\", true, usersWrite, me), "icacls \"C:\\FAH\"" + folderGrant);
  EXPECT_EQ(fixLine("D:\\x y\\z", true, everyoneWrite, me),
            "icacls \"D:\\x y\\z\"" + folderGrant + " /remove:g *S-1-1-0");
  for (const char *root : {"C:\\", "\\\\?\\D:\\\\", "e:"})
    EXPECT_EQ(fixLine(root, true, usersWrite, me),
              "use a folder on another drive, such as under C:\\Program Files; the permissions "
              "of a drive's root are not changed here")
        << root;
  EXPECT_EQ(fixLine("C:\\FAH\\c1\\srvany.exe", false, usersWrite, me),
            "icacls \"C:\\FAH\\c1\\srvany.exe\" /inheritance:r /grant:r *S-1-5-18:F"
            " *S-1-5-32-544:F *S-1-5-32-545:RX");
  // A file of another owner is replaced, never taken over; a folder is.
  EXPECT_EQ(fixLine("C:\\FAH\\c1\\fah.exe", false, {Changer::Why::Owner, me + "0"}, me),
            "replace \"C:\\FAH\\c1\\fah.exe\" with a trusted copy: delete it, then copy it there "
            "again as an administrator");
  EXPECT_EQ(fixLine("C:\\q\\", true, {Changer::Why::Owner, me + "0"}, me),
            "icacls \"C:\\q\" /setowner *S-1-5-32-544");
  // One's own account: a folder of one's profile is not locked against oneself.
  EXPECT_EQ(fixLine("C:\\Users\\a\\Downloads", true, {Changer::Why::Rights, me}, me),
            "use a folder only administrators can change, such as one under C:\\Program Files");
}

TEST(ChangeAccess, TheFoldersAboveAndThePlacesAServiceMustNotRunFrom) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(pathAndFoldersAbove("C:\\FAH\\c1\\"), (Names{"C:\\FAH\\c1", "C:\\FAH", "C:\\"}));
  EXPECT_EQ(pathAndFoldersAbove("\\\\?\\D:\\x y\\\\z"), (Names{"D:\\x y\\z", "D:\\x y", "D:\\"}));
  EXPECT_EQ(pathAndFoldersAbove("\\\\srv\\share\\x"), Names{"\\\\srv\\share\\x"});
  const std::tuple<const char *, unsigned, const char *, std::string> kPlaces[] = {
      {"C:\\FAH", 3, "\\Device\\HarddiskVolume1", ""},
      {"Z:\\FAH", 4, "\\Device\\LanmanRedirector\\;Z:0\\srv\\share", "is on a network drive"},
      {"S:\\FAH", 3, "\\??\\C:\\real", "is on a subst drive"},
      {"\\\\srv\\share\\FAH", 1, "", "is on a network share"},
      {"\\\\?\\UNC\\srv\\share\\FAH", 1, "", "is on a network share"}};
  for (const auto &[path, type, device, start] : kPlaces) {
    std::string why = foreignPlace(path, type, device);
    EXPECT_TRUE(start.empty() ? why.empty() : why.rfind(start, 0) == 0) << path << ": " << why;
  }
}

} // namespace
