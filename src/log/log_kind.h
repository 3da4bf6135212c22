// What a log entry means to someone watching the system's event log; a
// header of its own so that portable code can say it without the log.
#pragma once

// Record entries stay in the log file (and the debugger output); the others
// also go to the event sink, when one is set.
enum class LogKind { Record, Information, Warning, Error };
