#include "install/change_access.h"

#include <gtest/gtest.h>

namespace {

const std::string kMe = "S-1-5-21-1-2-3-1001", kOther = "S-1-5-21-1-2-3-1002";
const std::string kEveryone = "S-1-1-0", kUsers = "S-1-5-32-545";
using T = AccessEntry::Type;

AccessEntry entry(T type, const std::string &sid, std::uint32_t mask, bool inheritOnly = false) {
  return AccessEntry{type, sid, mask, inheritOnly};
}

} // namespace

// Beside the SDDL table of the Windows library tests: which rights count,
// which denies cover an account, entries that stand for the owner.
TEST(ChangeAccess, OnlyTrustedAccountsMayChangeWhatRuns) {
  const std::uint32_t kRead = 0x1200a9, kModify = 0x1301bf;
  const struct {
    const char *what;
    ObjectSecurity security;
    std::string changer; // empty: none
  } kCases[] = {
      {"Everyone reads, writes attributes and extended attributes",
       {kMe, true, {entry(T::Allow, kEveryone, kRead | 0x110)}},
       ""},
      {"Users only add folders", {kMe, true, {entry(T::Allow, kUsers, 0x4)}}, kUsers},
      {"Users may delete children", {kMe, true, {entry(T::Allow, kUsers, 0x40)}}, kUsers},
      {"a named user takes ownership", {kMe, true, {entry(T::Allow, kOther, 0x80000)}}, kOther},
      {"Everyone generic write", {kMe, true, {entry(T::Allow, kEveryone, 0x40000000)}}, kEveryone},
      {"denied first for Everyone",
       {kMe,
        true,
        {entry(T::Deny, kEveryone, 0x40000000 | 0x50040), entry(T::Allow, kUsers, kModify)}},
       ""},
      {"denied for another account",
       {kMe, true, {entry(T::Deny, kOther, kModify), entry(T::Allow, kUsers, kModify)}},
       kUsers},
      {"a conditional deny is not counted",
       {kMe, true, {entry(T::Other, kUsers, kModify), entry(T::Allow, kUsers, kModify)}},
       kUsers},
      {"CREATOR OWNER stands for the owner",
       {kMe, true, {entry(T::Allow, "S-1-3-0", 0x1f01ff)}},
       ""},
      {"no owner, nothing granted", {"", true, {}}, ""},
  };
  for (const auto &c : kCases) {
    std::optional<Changer> changer = untrustedChanger(c.security, kMe);
    EXPECT_EQ(changer ? changer->sid : std::string(), c.changer) << c.what;
  }
  // The installer's own account is trusted only as itself.
  EXPECT_TRUE(untrustedChanger({kMe, true, {}}, ""));
}

// The lines for Everyone's entries are checked in the installer's Wine tests.
TEST(ChangeAccess, TheFixRemovesInheritanceOrHandsOverOwnership) {
  EXPECT_EQ(icaclsFix("C:\\FAH\\c1\\srvany.exe", false, {Changer::Why::Rights, kUsers}),
            "icacls \"C:\\FAH\\c1\\srvany.exe\" /inheritance:r /grant:r *S-1-5-18:F"
            " *S-1-5-32-544:F *S-1-5-32-545:RX");
  EXPECT_EQ(icaclsFix("C:\\q", true, {Changer::Why::Owner, kOther}),
            "icacls \"C:\\q\" /setowner *S-1-5-32-544");
}
