#include "log/diagnostic_log.h"

#include "log/log_entry.h"

#include <sddl.h>

#include <cctype>

namespace {

// How long an entry waits for another process's append. An append takes
// well under a millisecond; a process that holds the lock longer must not
// hold up this one's entries (a service must report a stop within a
// second), so after one such wait entries are written without waiting.
const DWORD kLockWaitMs = 300;

const char *const kLockNotice =
    "Log lock held by another process: entries are written without waiting for it\n";

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

// Holds the named lock for one scope. Once a wait has timed out (or there
// is no lock), the lock is taken only when free and the scope runs anyway;
// firstGiveUp() tells the one scope that gave up first.
class LockScope {
public:
  LockScope(HANDLE lock, std::atomic<bool> &givenUp) : lock_(lock) {
    bool waitAllowed = !givenUp;
    DWORD waited = lock_ ? WaitForSingleObject(lock_, waitAllowed ? kLockWaitMs : 0) : WAIT_FAILED;
    // Abandoned: the last holder died; the lock is ours all the same.
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!owned_ && waitAllowed)
      firstGiveUp_ = !givenUp.exchange(true);
  }
  ~LockScope() {
    if (owned_)
      ReleaseMutex(lock_);
  }
  LockScope(const LockScope &) = delete;
  LockScope &operator=(const LockScope &) = delete;
  bool firstGiveUp() const { return firstGiveUp_; }

private:
  HANDLE lock_;
  bool owned_ = false;
  bool firstGiveUp_ = false;
};

// A new log: SYSTEM and Administrators full control, Users read, nothing
// inherited, so that ordinary users can neither change nor delete it.
SECURITY_ATTRIBUTES *newFileSecurity() {
  static SECURITY_ATTRIBUTES attributes = [] {
    SECURITY_ATTRIBUTES a{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)",
                                                         SDDL_REVISION_1, &a.lpSecurityDescriptor,
                                                         nullptr);
    return a;
  }();
  return &attributes;
}

// What the system says of an open handle; false (GetLastError) if nothing.
bool describe(HANDLE file, OpenedFile &opened) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info))
    return false;
  opened.directory = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  opened.reparsePoint = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
  opened.links = info.nNumberOfLinks;
  char final[MAX_PATH * 2];
  DWORD n =
      GetFinalPathNameByHandleA(file, final, sizeof(final), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  opened.finalPath = n && n < sizeof(final) ? std::string(final, n) : std::string();
  return true;
}

// Opens path as itself, never what a link leads to: a folder opens too (to
// be recognised), and a missing file is created new, which follows no link.
UniqueKernelHandle openAsItself(const std::string &path, DWORD access, bool create) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
  UniqueKernelHandle file(
      CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!file && create && GetLastError() == ERROR_FILE_NOT_FOUND) {
    file.reset(CreateFileA(path.c_str(), access, share, newFileSecurity(), CREATE_NEW,
                           flags | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && GetLastError() == ERROR_FILE_EXISTS) // another process was first
      file.reset(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
  }
  return file;
}

// The open file when it is a plain file of its own named fullPath;
// otherwise nothing, and why in reason (empty: missing and not created).
UniqueKernelHandle openChecked(const std::string &path, const std::string &fullPath, DWORD access,
                               bool create, std::string &reason) {
  reason.clear();
  UniqueKernelHandle file = openAsItself(path, access, create);
  OpenedFile opened;
  if (!file || !describe(file.get(), opened)) {
    DWORD error = GetLastError();
    if (!file && !create && error == ERROR_FILE_NOT_FOUND)
      return UniqueKernelHandle();
    DWORD attributes = GetFileAttributesA(path.c_str());
    bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    reason = folder ? "it is a folder" : systemText(error);
    return UniqueKernelHandle();
  }
  reason = unusableReason(fullPath, opened);
  return reason.empty() ? std::move(file) : UniqueKernelHandle();
}

std::string fullPathOf(const std::string &path) {
  char full[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
  return n && n < sizeof(full) ? std::string(full, n) : path;
}

bool writeAll(HANDLE file, const std::string &bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

} // namespace

DiagnosticLog::DiagnosticLog(const char *path, long rotateAt)
    : path_(path), fullPath_(fullPathOf(path_)), rotateAt_(rotateAt), lock_(createLock(path_)) {}

UniqueKernelHandle DiagnosticLog::openForAppend(std::string &notices) {
  auto unusable = [&](int which, const std::string &path, const std::string &why) {
    if (!saidUnusable_[which].exchange(true))
      notices += "Log file " + path + " not used: " + why + "\n";
  };
  const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
  std::string reason;
  UniqueKernelHandle file = openChecked(path_, fullPath_, access, true, reason);
  LARGE_INTEGER size;
  if (!file)
    unusable(0, path_, reason);
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= rotateAt_)
    return file;
  // Nothing is moved onto a ".old" that is not a plain file of our own.
  std::string old = path_ + ".old";
  openChecked(old, fullPath_ + ".old", FILE_READ_ATTRIBUTES, false, reason);
  if (!reason.empty()) {
    unusable(1, old, reason + "; " + path_ + " is not moved aside");
    return file;
  }
  file.reset();
  // If the move fails (a program holds the file without delete sharing),
  // the entry goes on at the end of the large file.
  MoveFileExA(path_.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING);
  file = openChecked(path_, fullPath_, access, true, reason);
  if (!file)
    unusable(0, path_, reason);
  return file;
}

void DiagnosticLog::tell(const std::string &notices) {
  if (notices.empty())
    return;
  OutputDebugStringA(notices.c_str());
  if (standardErrorFallback_) {
    HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if (standardError && standardError != INVALID_HANDLE_VALUE)
      writeAll(standardError, fileText(notices));
  }
  if (eventSink_)
    eventSink_(LogKind::Warning, notices);
}

void DiagnosticLog::rotateIfLarge() {
  DWORD saved = GetLastError();
  std::string notices;
  {
    LockScope lock(lock_.get(), lockGivenUp_);
    if (lock.firstGiveUp())
      append(kLockNotice, LogKind::Warning);
    openForAppend(notices);
  }
  tell(notices);
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
  std::string notices;
  bool written = false;
  {
    LockScope lock(lock_.get(), lockGivenUp_);
    if (lock.firstGiveUp())
      append(kLockNotice, LogKind::Warning);
    UniqueKernelHandle file = openForAppend(notices);
    written = file && writeAll(file.get(), bytes);
  }
  tell(notices);
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
  append(errorEntry(context, systemText(code)), kind);
}

void DiagnosticLog::writeLastError(const char *context) { writeError(context, GetLastError()); }

std::string systemText(unsigned long code) {
  char *message = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char *>(&message), 0, nullptr);
  std::string text = length && message ? std::string(message, length) : std::string();
  LocalFree(message);
  return text.substr(0, text.find_last_not_of(" \t\r\n") + 1);
}
