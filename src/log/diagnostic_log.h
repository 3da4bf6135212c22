// The diagnostic log: every text goes to the debugger output and to a log
// file, flushed at once so the file is complete even if the process dies.
#pragma once

#include <cstdio>
#include <string>

class DiagnosticLog {
public:
  // Opens path for appending (rotating it first when it has grown past
  // rotateAt bytes); a file that cannot be opened leaves the debugger copy.
  explicit DiagnosticLog(const char *path, long rotateAt = kRotateAt);
  ~DiagnosticLog();
  DiagnosticLog(const DiagnosticLog &) = delete;
  DiagnosticLog &operator=(const DiagnosticLog &) = delete;

  // Null text writes nothing.
  void write(const char *text);
  // The text, then "\n" as a second write. Null text writes nothing.
  void writeLine(const char *text);
  void writeLine(const std::string &text) { writeLine(text.c_str()); }
  // The context line, then "  " and the system's message for code, if any.
  void writeError(const char *context, unsigned long code);
  // writeError with the calling thread's last error.
  void writeLastError(const char *context);

  static constexpr long kRotateAt = 1024L * 1024L;

private:
  std::FILE *file_ = nullptr;
};

// The process-wide log, "C:\Qvn.log", alive from before main until after it.
extern DiagnosticLog g_log;
