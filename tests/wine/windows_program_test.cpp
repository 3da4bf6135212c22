// What makes Qvn a proper Windows program, as the system reads it: the event source and Qvn.exe's
// message table, the recovery options and delayed start of "Qvn", and the decision over real
// security descriptors. (Version and manifest: the package check.)
#include "install/binary_guard.h"
#include "install/scheduler_registration.h"
#include "log/event_log.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sddl.h>

using namespace qvntest;

// The source's registration and removal: SchedulerInstall.
TEST(EventLog, QvnExesMessagesShowEachEntryWhole) {
  ASSERT_TRUE(registerEventSource(programPath("Qvn.exe")));
  // As Event Viewer forms it: the message of the event's id, the entry its insert.
  UniqueModule module(LoadLibraryExA(programPath("Qvn.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  const char *entry = "StartService\r\n  The service did not respond.";
  DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(entry)};
  for (LogKind kind : {LogKind::Information, LogKind::Warning, LogKind::Error}) {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module.get(),
                   eventId(kind), 0, text, sizeof text, reinterpret_cast<va_list *>(inserts));
    EXPECT_STREQ(text, entry) << int(kind);
  }
  EXPECT_TRUE(removeEventSource());
}

TEST(SchedulerOptions, RestartAfterAMinuteAndTheDelayedStart) {
  SchedulerRecovery recovery; // the third action also for every later failure
  // The reset period, then each action as type/delay.
  const SERVICE_FAILURE_ACTIONSA &options = *recovery.info();
  std::string text = std::to_string(options.dwResetPeriod);
  for (DWORD i = 0; i < options.cActions; ++i)
    text += " " + std::to_string(options.lpsaActions[i].Type) + "/" +
            std::to_string(options.lpsaActions[i].Delay);
  EXPECT_EQ(text, "86400 1/60000 1/60000 1/60000");
  EXPECT_TRUE(schedulerDelayedStart().fDelayedAutostart);
}

TEST(SecurityDescriptor, RefusesEveryAccountButTheTrustedOnesThatCanChangeIt) {
  const std::pair<const char *, std::string> kCases[] = {
      // The descriptor as SDDL, and who can change the object ("": none).
      {"O:BAD:(A;;FA;;;BA)", ""},                                         // the owner alone
      {"O:BAD:AI(A;ID;FA;;;SY)(A;OICIID;0x1301bf;;;BU)", "S-1-5-32-545"}, // Users modify, inherited
      {"O:BAD:(A;OICIIO;FA;;;CO)(A;CIIO;FW;;;BU)", ""},                   // for children only
      {"O:BAD:(D;;0x1301bf;;;BU)(A;;0x1301bf;;;BU)", ""},                 // a deny before the allow
      {"O:BA", "S-1-1-0"},                                                // no access list
      {"O:BUD:(A;;FA;;;SY)", "S-1-5-32-545"},                             // an untrusted owner
      {"O:S-1-5-21-1-2-3-1000D:(A;;FA;;;S-1-5-21-1-2-3-1000)", ""},       // the one also trusted
  };
  for (auto [sddl, changer] : kCases) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    std::optional<Changer> found =
        untrustedChanger(objectSecurityOf(descriptor), "S-1-5-21-1-2-3-1000");
    LocalFree(descriptor);
    EXPECT_EQ(found ? found->sid : "", changer) << sddl;
  }
  // A NULL access list, as FAT drives give (Wine's SDDL "D:NO_ACCESS_CONTROL" gives an empty one).
  SECURITY_DESCRIPTOR open;
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  std::optional<Changer> found = untrustedChanger(objectSecurityOf(&open), "");
  EXPECT_TRUE(found && found->why == Changer::Why::NoAccessList);
}
