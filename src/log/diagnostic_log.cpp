#include "log/diagnostic_log.h"

#include <share.h>
#include <windows.h>

#include <string>

namespace {

// A file past the limit is moved aside to "<path>.old" so the log stays
// bounded. While another process holds the file open the move fails and we
// simply keep appending to it.
void rotateIfLarge(const char *path, long rotateAt) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &info))
    return;
  ULONGLONG size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size <= static_cast<ULONGLONG>(rotateAt))
    return;
  std::string old = std::string(path) + ".old";
  MoveFileExA(path, old.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

DiagnosticLog::DiagnosticLog(const char *path, long rotateAt) {
  rotateIfLarge(path, rotateAt);
  // Append, never truncate: a console command run beside the running
  // service must not wipe the service's log. Shared for reading and writing.
  file_ = _fsopen(path, "a", _SH_DENYNO);
}

DiagnosticLog::~DiagnosticLog() {
  if (file_)
    std::fclose(file_);
}

void DiagnosticLog::write(const char *text) {
  if (!text)
    return;
  OutputDebugStringA(text);
  if (file_) {
    std::fprintf(file_, "%s", text);
    std::fflush(file_);
  }
}

void DiagnosticLog::writeLine(const char *text) {
  if (!text)
    return;
  write(text);
  write("\n");
}

void DiagnosticLog::writeError(const char *context, unsigned long code) {
  if (context)
    writeLine(context);
  char *message = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char *>(&message), 0, nullptr);
  if (length == 0 || !message)
    return;
  write("  ");
  write(message);
  write("\n");
  LocalFree(message);
}

void DiagnosticLog::writeLastError(const char *context) { writeError(context, GetLastError()); }
