// The system's event log: the event source "Quorvane" registered under the
// Application log (its texts in Qvn.exe's message table), and the sink that
// sends the diagnostic log's entries there in the service roles.
#pragma once

#include "common/names.h"
#include "common/result.h"
#include "log/diagnostic_log.h"

#include <string>

// The source's key below HKEY_LOCAL_MACHINE.
inline const std::string kEventSourceKey =
    std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + kEventSource;

// Writes the source's key: EventMessageFile naming messageFile (the
// installed Qvn.exe) and TypesSupported 7.
Result registerEventSource(const std::string &messageFile);
// Removes the source's key; one that is not there counts as removed.
Result removeEventSource();

// The event message of each kind, in the message table; 0 for Record.
unsigned long eventId(LogKind kind);

// A sink reporting each entry under the source, as information, warning or
// error. It works whether the source is registered or not: the system
// then shows the entry without its text from the message table.
DiagnosticLog::EventSink eventLogSink();
