// The diagnostic log: every entry goes to the debugger output and to a log
// file, whole and at once, so the file is complete even if the process dies
// and no other process writing the same file can cut into an entry.
#pragma once

#include "common/unique_handle.h"
#include "log/log_kind.h"

#include <atomic>
#include <functional>
#include <string>

class DiagnosticLog {
public:
  // Creates the file at path if missing (moving it aside first when it has
  // grown past rotateAt bytes). The file is opened again for every entry,
  // so one that cannot be opened now is tried again at the next entry.
  explicit DiagnosticLog(const char *path, long rotateAt = kRotateAt);
  DiagnosticLog(const DiagnosticLog &) = delete;
  DiagnosticLog &operator=(const DiagnosticLog &) = delete;

  // The text as one entry. Null text writes nothing.
  void write(const char *text);
  // The text and "\n" as one entry. Null text writes nothing.
  void writeLine(const char *text, LogKind kind = LogKind::Record);
  void writeLine(const std::string &text, LogKind kind = LogKind::Record) {
    writeLine(text.c_str(), kind);
  }
  // One entry: the context line, then "  " and the system's message for
  // code, if there is one. An error unless kind says otherwise.
  void writeError(const char *context, unsigned long code, LogKind kind = LogKind::Error);
  // writeError with the calling thread's last error.
  void writeLastError(const char *context);

  // Moves the file to "<path>.old" when it has grown past the limit, even
  // while other processes have it open; the service calls this before each
  // check, every entry does it too.
  void rotateIfLarge();
  // Console runs: entries that cannot reach the file also go to standard
  // error. A service has no console, so this is off unless asked for.
  void setStandardErrorFallback(bool on) { standardErrorFallback_ = on; }
  // Where entries of the other kinds than Record also go (the service roles'
  // event log); set once, before any other thread logs.
  using EventSink = std::function<void(LogKind, const std::string &)>;
  void setEventSink(EventSink sink) { eventSink_ = std::move(sink); }

  static constexpr long kRotateAt = 1024L * 1024L;

private:
  // Opens the file for one append, first moving it aside if too large. The
  // caller holds lock_.
  UniqueKernelHandle openForAppend();
  void append(const std::string &entry, LogKind kind = LogKind::Record);

  std::string path_;
  long rotateAt_;
  // Named after the path: serialises appends and rotation of every process.
  UniqueKernelHandle lock_;
  std::atomic<bool> standardErrorFallback_{false};
  EventSink eventSink_;
};

// The process-wide log, "C:\Qvn.log", alive from before main until after it.
extern DiagnosticLog g_log;
