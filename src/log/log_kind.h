// What a log entry means to someone watching the system's event log; kept
// apart from the log itself so portable code can say it too.
#pragma once

// Record entries stay in the log file (and the debugger output); the others
// also go to the event sink, when one is set.
enum class LogKind { Record, Information, Warning, Error };
