// The event source's registration and the texts Event Viewer would show
// from Qvn.exe's message table.
#include "common/unique_handle.h"
#include "log/event_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace qvntest;

namespace {

std::string registryString(HKEY key, const char *name, DWORD &type) {
  char value[1024] = "";
  DWORD size = sizeof value - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value), &size))
    return "";
  return value;
}

// The event's text as Event Viewer forms it: the message of its id in the
// source's message file, with the event's string as the insert.
std::string viewerText(const std::string &messageFile, unsigned long id, const char *insert) {
  UniqueModule module(LoadLibraryExA(messageFile.c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  char *text = nullptr;
  DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(insert)};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                    FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                module.get(), id, 0, reinterpret_cast<char *>(&text), 0,
                                reinterpret_cast<va_list *>(inserts));
  std::string result =
      length ? std::string(text, length) : "(no message " + std::to_string(id) + ")";
  LocalFree(text);
  return result;
}

TEST(EventLog, SourceNamesQvnExeWhoseMessagesShowEachEntryWhole) {
  const std::string qvn = programPath("Qvn.exe");
  ASSERT_TRUE(registerEventSource(qvn));
  UniqueHKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey.c_str(), 0, KEY_READ, key.put()), 0);
  DWORD type = 0, types = 0, size = sizeof types;
  const std::string messageFile = registryString(key.get(), "EventMessageFile", type);
  EXPECT_EQ(messageFile, qvn);
  EXPECT_EQ(type, DWORD(REG_EXPAND_SZ));
  ASSERT_EQ(RegQueryValueExA(key.get(), "TypesSupported", nullptr, &type,
                             reinterpret_cast<BYTE *>(&types), &size),
            0);
  EXPECT_EQ(types, 7u);
  key.reset();

  const char *entry = "StartService\r\n  The service did not respond.";
  for (LogKind kind : {LogKind::Information, LogKind::Warning, LogKind::Error})
    EXPECT_EQ(viewerText(messageFile, eventId(kind), entry), entry) << int(kind);

  // Removed, and removing what is not there succeeds.
  EXPECT_TRUE(removeEventSource());
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey.c_str(), 0, KEY_READ, key.put()),
            ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(removeEventSource());
}

} // namespace
