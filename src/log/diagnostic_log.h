// The diagnostic log: every entry goes to the debugger output and to a log
// file, whole and at once, so the file is complete even if the process dies
// and no other process writing the same file can cut into an entry.
#pragma once

#include "common/unique_handle.h"
#include "log/log_entry.h"

#include <atomic>
#include <functional>
#include <string>

class DiagnosticLog {
public:
  // Takes nothing but the lock's handle: the file is opened (and created
  // when missing) for every entry, so one that cannot be used now is tried
  // again at the next entry, and a process start never waits for the lock.
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
  // To the event sink alone: for entries whose text reached the file in a
  // larger one (a loaded schedule's lines go to the file in one append).
  void writeEvent(LogKind kind, const std::string &text) {
    if (kind != LogKind::Record && eventSink_)
      eventSink_(kind, text);
  }

  static constexpr long kRotateAt = 1024L * 1024L;

private:
  // Opens the file for one append, first moving it aside if too large.
  // Never through a folder, link or hard link: such a path is left alone
  // and a line saying so is added to notices the first time. The caller
  // holds lock_, or has given up waiting for it.
  UniqueKernelHandle openForAppend(std::string &notices);
  void append(const std::string &entry, LogKind kind = LogKind::Record);
  // Notices go where entries go when the file cannot take them.
  void tell(const std::string &notices);

  std::string path_;
  std::string fullPath_; // what the system must name the open file
  long rotateAt_;
  // Named after the path: serialises appends and rotation of every process.
  UniqueKernelHandle lock_;
  // Set once a wait for lock_ timed out: the lock is then only taken when
  // free, so a process holding it costs this one a single wait.
  std::atomic<bool> lockGivenUp_{false};
  // The log, then ".old", once said to be unusable.
  std::atomic<bool> saidUnusable_[2] = {false, false};
  std::atomic<bool> standardErrorFallback_{false};
  EventSink eventSink_;
};

// The process-wide log, "C:\Qvn.log", alive from before main until after it.
extern DiagnosticLog g_log;

// The system's message for code (in the language the system picks), without
// its line break; empty when it has none.
std::string systemText(unsigned long code);
