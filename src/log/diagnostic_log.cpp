#include "log/diagnostic_log.h"

#include "log/log_text.h"

#include <cctype>

namespace {

// How long an entry waits for another process's append. An append takes
// microseconds; a holder that hangs must not stop the log for good, so after
// this the entry is written unserialised.
const DWORD kLockWaitMs = 2000;

// One lock per log file for every process: a named mutex in the global
// namespace, so the service and console runs in other sessions share it. A
// mutex made by another account may only be opened for waiting.
HANDLE createLock(const std::string &path) {
  std::string name = "Global\\QvnLog:";
  for (char c : path)
    name += c == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  HANDLE lock = CreateMutexA(nullptr, FALSE, name.c_str());
  if (!lock && GetLastError() == ERROR_ACCESS_DENIED)
    lock = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  return lock;
}

// Holds the named lock for one scope; without a lock, or after the wait
// timed out, it holds nothing and the scope runs anyway.
class LockScope {
public:
  explicit LockScope(HANDLE lock) : lock_(lock) {
    DWORD waited = lock_ ? WaitForSingleObject(lock_, kLockWaitMs) : WAIT_FAILED;
    // Abandoned: the last holder died; the lock is ours all the same.
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~LockScope() {
    if (owned_)
      ReleaseMutex(lock_);
  }
  LockScope(const LockScope &) = delete;
  LockScope &operator=(const LockScope &) = delete;

private:
  HANDLE lock_;
  bool owned_ = false;
};

// Appends go to the end whoever else writes; readers, writers and a rename
// by any process are allowed while it is open.
UniqueKernelHandle openShared(const std::string &path) {
  return UniqueKernelHandle(CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool writeAll(HANDLE file, const std::string &bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

} // namespace

DiagnosticLog::DiagnosticLog(const char *path, long rotateAt)
    : path_(path), rotateAt_(rotateAt), lock_(createLock(path_)) {
  rotateIfLarge();
}

UniqueKernelHandle DiagnosticLog::openForAppend() {
  UniqueKernelHandle file = openShared(path_);
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= rotateAt_)
    return file;
  file.reset();
  // If the move fails (a program holds the file without delete sharing),
  // the entry goes on at the end of the large file.
  std::string old = path_ + ".old";
  MoveFileExA(path_.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING);
  return openShared(path_);
}

void DiagnosticLog::rotateIfLarge() {
  DWORD saved = GetLastError();
  {
    LockScope lock(lock_.get());
    openForAppend();
  }
  SetLastError(saved);
}

void DiagnosticLog::append(const std::string &entry, LogKind kind) {
  if (entry.empty())
    return;
  // Logging never changes what the caller reads from GetLastError next.
  DWORD saved = GetLastError();
  if (kind != LogKind::Record && eventSink_)
    eventSink_(kind, entry);
  OutputDebugStringA(entry.c_str());
  std::string bytes = fileText(entry);
  bool written = false;
  {
    LockScope lock(lock_.get());
    UniqueKernelHandle file = openForAppend();
    written = file && writeAll(file.get(), bytes);
  }
  if (!written && standardErrorFallback_) {
    HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if (standardError && standardError != INVALID_HANDLE_VALUE)
      writeAll(standardError, bytes);
  }
  SetLastError(saved);
}

void DiagnosticLog::write(const char *text) {
  if (text)
    append(text);
}

void DiagnosticLog::writeLine(const char *text, LogKind kind) {
  if (text)
    append(std::string(text) + "\n", kind);
}

void DiagnosticLog::writeError(const char *context, unsigned long code, LogKind kind) {
  char *message = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char *>(&message), 0, nullptr);
  std::string text = length && message ? std::string(message, length) : std::string();
  LocalFree(message);
  append(errorEntry(context, text), kind);
}

void DiagnosticLog::writeLastError(const char *context) { writeError(context, GetLastError()); }
