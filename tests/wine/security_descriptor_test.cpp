// The decision over real security descriptors, built from SDDL strings.
#include "install/binary_guard.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

namespace {

TEST(SecurityDescriptor, RefusesEveryAccountButTheTrustedOnesThatCanChangeIt) {
  const struct {
    const char *sddl, *changer; // "": none
  } kCases[] = {
      {"O:BAD:(A;;FA;;;BA)", ""},                                         // the owner alone
      {"O:BAD:(A;;FA;;;SY)(A;;FR;;;WD)", ""},                             // Everyone reads
      {"O:BAD:(A;;FA;;;SY)(A;;FW;;;WD)", "S-1-1-0"},                      // Everyone writes
      {"O:BAD:AI(A;ID;FA;;;SY)(A;OICIID;0x1301bf;;;BU)", "S-1-5-32-545"}, // Users modify, inherited
      {"O:BAD:(A;OICIIO;FA;;;CO)(A;CIIO;FW;;;BU)", ""},                   // for children only
      {"O:BAD:(D;;0x1301bf;;;BU)(A;;0x1301bf;;;BU)", ""},                 // a deny before the allow
      {"O:BAD:(A;;FA;;;BU)(D;;FW;;;BU)", "S-1-5-32-545"},                 // a deny after it
      {"O:BA", "S-1-1-0"},                                                // no access list
      {"O:BUD:(A;;FA;;;SY)", "S-1-5-32-545"},                             // an untrusted owner
      {"O:S-1-5-21-1-2-3-1000D:(A;;FA;;;S-1-5-21-1-2-3-1000)", ""},       // the installer's account
  };
  for (const auto &c : kCases) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(c.sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr))
        << c.sddl;
    std::optional<Changer> changer =
        untrustedChanger(objectSecurityOf(descriptor), "S-1-5-21-1-2-3-1000");
    LocalFree(descriptor);
    EXPECT_EQ(changer ? changer->sid : "", c.changer) << c.sddl;
  }
  // A NULL access list, as FAT drives give (Wine's SDDL "D:NO_ACCESS_CONTROL"
  // gives an empty one instead).
  SECURITY_DESCRIPTOR open;
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  std::optional<Changer> changer = untrustedChanger(objectSecurityOf(&open), "");
  EXPECT_TRUE(changer && changer->why == Changer::Why::NoAccessList);
}

} // namespace
