// The diagnostic log: every entry goes to the debugger output and to a log
// file, whole and at once, so the file is complete even if the process dies
// and no other process writing the same file can cut into an entry. An entry
// the file cannot take (a full disk) leaves nothing of itself there, and the
// loss is said once it can; the file stays within its limit.
#pragma once

#include "common/result.h"
#include "common/unique_handle.h"
#include "log/log_entry.h"

#include <atomic>
#include <functional>
#include <mutex>
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
  // writeError for a failed call: an information for a routine refusal;
  // nothing for success or a failure that names no call.
  void writeFailure(const Result &result);

  // Keeps the file within the limit: moves it to "<path>.old" when it has
  // grown past it, even while other processes have it open; copies it there
  // and empties it when it cannot be moved, or empties it when ".old" may not
  // be written; says once why. The service calls this before each check,
  // every entry does it too.
  void rotateIfLarge();
  // Console runs: entries that cannot reach the file also go to standard
  // error. A service has no console, so this is off unless asked for.
  void setStandardErrorFallback(bool on) { standardErrorFallback_ = on; }
  // What a console line says of where its entries are: "see <path>" when
  // every entry since the last call reached the file, otherwise that they
  // are on standard error.
  std::string seeLog();
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

  // Tests: the bytes the disk takes from now on; a write past them is cut
  // there and fails, as on a full disk. Negative: no such limit.
  void setSpaceForTest(long long bytes) { spaceForTest_ = bytes; }

private:
  // What one append has to say besides its entry: lines for the head of
  // the file write (a rotation, entries lost before), and lines for where
  // entries go when the file cannot take them.
  struct Notices {
    std::string head, elsewhere;
    std::string why; // why the entry is not in the file, when it is not
  };
  // Opens the file for one append, first keeping it within the limit.
  // Never through a folder, link or hard link: such a path is left alone
  // and a line saying so is noticed the first time. The caller holds
  // mutex_, and lock_ unless it has given up waiting for it.
  UniqueKernelHandle openForAppend(Notices &said);
  // Copies the log to copyTo (none: not copied), then empties it; false
  // (why) when it could not be emptied.
  bool copyAndEmpty(const std::string &copyTo, std::string &why);
  // The bytes whole at the end of the file, or nothing of them; false
  // (GetLastError) when they are not there.
  bool appendWhole(HANDLE file, const std::string &bytes);
  // Writes bytes (may be empty) and the notices due to the file; false
  // when bytes did not reach it, counted as lost until it takes them again.
  bool appendToFile(const std::string &bytes);
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
  // Within this process: the state below and one append at a time.
  std::mutex mutex_;
  bool moveFailed_ = false;     // then copied and emptied, not moved again
  bool emptyFailed_ = false;    // then not tried again for a minute
  DWORD emptyFailedAt_ = 0;     // (tick count)
  bool saidNotWritten_ = false; // the first failed write is said once
  bool saidCopied_ = false;     // a failed move is said once
  unsigned long lost_ = 0;      // entries the file missed since it last took one
  std::string lostFrom_, lostTo_, lostWhy_;
  bool missedSinceSee_ = false; // an entry missed the file since seeLog()
  long long spaceForTest_ = -1;
  EventSink eventSink_;
};

// The process-wide log, "C:\Qvn.log", alive from before main until after it.
extern DiagnosticLog g_log;

// The system's message for code (in the language the system picks), without
// its line break; empty when it has none.
std::string systemText(unsigned long code);

// What a new log is made with: SYSTEM and Administrators full control, Users
// read, nothing inherited, so that ordinary users can neither change nor
// delete it.
SECURITY_ATTRIBUTES *newFileSecurity();
