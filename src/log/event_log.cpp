#include "log/event_log.h"

#include "common/names.h"
#include "event_messages.h"
#include "log/log_entry.h"

#include <memory>

namespace {

// The kinds an event may carry: information, warning and error.
constexpr DWORD kTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

Result setValue(HKEY key, const char *name, DWORD type, const void *data, DWORD size) {
  LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
  return rc == ERROR_SUCCESS ? Result() : Result::failure(rc, "RegSetValueEx()");
}

} // namespace

Result registerEventSource(const std::string &messageFile) {
  UniqueHKey key;
  LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey.c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, "RegCreateKeyEx()");
  Result file = setValue(key.get(), "EventMessageFile", REG_EXPAND_SZ, messageFile.c_str(),
                         static_cast<DWORD>(messageFile.size() + 1));
  if (!file)
    return file;
  return setValue(key.get(), "TypesSupported", REG_DWORD, &kTypesSupported, sizeof kTypesSupported);
}

Result removeEventSource() {
  LONG rc = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? Result()
                                                           : Result::failure(rc, "RegDeleteKey()");
}

unsigned long eventId(LogKind kind) {
  switch (kind) {
  case LogKind::Information:
    return QVN_EVENT_INFORMATION;
  case LogKind::Warning:
    return QVN_EVENT_WARNING;
  case LogKind::Error:
    return QVN_EVENT_ERROR;
  default:
    return 0;
  }
}

DiagnosticLog::EventSink eventLogSink() {
  // Shared by the sink's copies, released when the last one goes.
  auto source = std::make_shared<UniqueEventSource>(RegisterEventSourceA(nullptr, kEventSource));
  if (!*source)
    g_log.writeLastError("RegisterEventSource()");
  return [source](LogKind kind, const std::string &entry) {
    if (!*source || kind == LogKind::Record)
      return;
    std::string text = eventText(entry);
    const char *strings[] = {text.c_str()};
    // A failed report has nowhere better to go: the entry is in the file.
    ReportEventA(source->get(), eventType(kind), 0, eventId(kind), nullptr, 1, 0, strings, nullptr);
  };
}
