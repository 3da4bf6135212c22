#include "log/diagnostic_log.h"

#include "common/text.h"
#include "log/log_entry.h"

#include <sddl.h>

#include <cctype>
#include <cstdio>

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

} // namespace

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

namespace {

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

// The full path, or path itself when the system cannot make one.
std::string fullPathOrAsGiven(const std::string &path) {
  char full[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
  return n && n < sizeof(full) ? std::string(full, n) : path;
}

bool writeAll(HANDLE file, const std::string &bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool fileSize(HANDLE file, std::int64_t &size) {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(file, &s))
    return false;
  size = s.QuadPart;
  return true;
}

bool truncateAt(HANDLE file, std::int64_t size) {
  LARGE_INTEGER at;
  at.QuadPart = size;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

std::string localTimeNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  return text;
}

// A failed emptying (a program maps the log) is not tried at every entry.
const DWORD kEmptyAgainAfterMs = 60000;

} // namespace

DiagnosticLog::DiagnosticLog(const char *path, long rotateAt)
    : path_(path), fullPath_(fullPathOrAsGiven(path_)), rotateAt_(rotateAt),
      lock_(createLock(path_)) {}

UniqueKernelHandle DiagnosticLog::openForAppend(Notices &said) {
  auto unusable = [&](int which, const std::string &path, const std::string &why, std::string &to) {
    if (!saidUnusable_[which].exchange(true))
      to += "Log file " + path + " not used: " + why + "\n";
  };
  const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
  std::string reason;
  UniqueKernelHandle file = openChecked(path_, fullPath_, access, true, reason);
  std::int64_t size = 0;
  if (!file) {
    unusable(0, path_, reason, said.elsewhere);
    said.why = reason.empty() ? "it could not be opened" : reason;
  }
  if (!file || !fileSize(file.get(), size) || size <= rotateAt_)
    return file;
  // Nothing is moved or copied onto a ".old" that is not a plain file of our own.
  std::string old = path_ + ".old";
  openChecked(old, fullPath_ + ".old", FILE_READ_ATTRIBUTES, false, reason);
  const bool oldUsable = reason.empty();
  if (!oldUsable)
    unusable(1, old, reason + "; " + path_ + " is emptied instead of moved aside", said.head);
  Rotation rotation = rotationFor(size, rotateAt_, oldUsable, moveFailed_);
  if (rotation == Rotation::Move) {
    file.reset();
    MoveFileExA(path_.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING);
    std::string whyNotMoved = systemText(GetLastError());
    file = openChecked(path_, fullPath_, access, true, reason);
    if (!file) {
      unusable(0, path_, reason, said.elsewhere);
      said.why = reason;
    }
    if (!file || !fileSize(file.get(), size) || size <= rotateAt_)
      return file;
    // Still there: a program holds it without delete sharing.
    moveFailed_ = true;
    if (!saidCopied_) {
      saidCopied_ = true;
      said.head += "Log file " + path_ + " copied to " + old +
                   " and emptied, as it could not be moved there: " + whyNotMoved + "\n";
    }
  }
  // Bounded before complete: past the limit and not emptied, entries are
  // not written.
  said.why = "it is past its limit and cannot be emptied";
  if (emptyFailed_ && GetTickCount() - emptyFailedAt_ < kEmptyAgainAfterMs)
    return UniqueKernelHandle();
  std::string why;
  emptyFailed_ = !copyAndEmpty(oldUsable ? old : "", why);
  emptyFailedAt_ = GetTickCount();
  if (!emptyFailed_)
    return file;
  said.why += ": " + why;
  if (!saidNotWritten_) {
    saidNotWritten_ = true;
    said.elsewhere += "Log file " + path_ + " not written: " + said.why + "\n";
  }
  return UniqueKernelHandle();
}

bool DiagnosticLog::copyAndEmpty(const std::string &copyTo, std::string &why) {
  UniqueKernelHandle log = openChecked(path_, fullPath_, GENERIC_READ | GENERIC_WRITE, false, why);
  if (!log)
    return false;
  std::string ignored;
  UniqueKernelHandle old = copyTo.empty()
                               ? UniqueKernelHandle()
                               : openChecked(copyTo, fullPath_ + ".old",
                                             GENERIC_WRITE | FILE_READ_ATTRIBUTES, true, ignored);
  // A copy that fails still empties the log: bounded before complete.
  if (old && truncateAt(old.get(), 0)) {
    std::string chunk(64 * 1024, '\0');
    DWORD read = 0;
    while (ReadFile(log.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) &&
           read > 0 && writeAll(old.get(), chunk.substr(0, read))) {
    }
  }
  if (truncateAt(log.get(), 0))
    return true;
  why = systemText(GetLastError());
  return false;
}

bool DiagnosticLog::appendWhole(HANDLE file, const std::string &bytes) {
  std::int64_t before = 0;
  bool sized = fileSize(file, before);
  bool whole;
  if (spaceForTest_ >= 0 && static_cast<long long>(bytes.size()) > spaceForTest_) {
    writeAll(file, bytes.substr(0, static_cast<size_t>(spaceForTest_)));
    spaceForTest_ = 0;
    SetLastError(ERROR_DISK_FULL);
    whole = false;
  } else {
    whole = writeAll(file, bytes);
    if (whole && spaceForTest_ >= 0)
      spaceForTest_ -= static_cast<long long>(bytes.size());
  }
  if (whole)
    return true;
  // A short write leaves part of the entry: cut it off, so the next entry
  // does not join it. The append handle cannot truncate; a second one can.
  DWORD error = GetLastError();
  if (error == ERROR_SUCCESS)
    error = ERROR_DISK_FULL;
  std::int64_t after = 0;
  std::optional<std::int64_t> cut;
  if (sized && fileSize(file, after))
    cut = cutBackTo(before, after, bytes.size());
  if (cut) {
    std::string ignored;
    UniqueKernelHandle writer = openChecked(path_, fullPath_, GENERIC_WRITE, false, ignored);
    if (writer)
      truncateAt(writer.get(), *cut);
  }
  SetLastError(error);
  return false;
}

bool DiagnosticLog::appendToFile(const std::string &bytes) {
  Notices said;
  std::string lossSaid;
  bool written = false;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    LockScope lock(lock_.get(), lockGivenUp_);
    if (lock.firstGiveUp())
      said.head += kLockNotice;
    UniqueKernelHandle file = openForAppend(said);
    if (file && lost_ > 0)
      lossSaid = lossNotice(path_, lost_, lostFrom_, lostTo_, lostWhy_) + "\n";
    std::string all = fileText(said.head + lossSaid) + bytes;
    written = file && (all.empty() || appendWhole(file.get(), all));
    if (file && !written) {
      said.why = systemText(GetLastError());
      if (!saidNotWritten_) {
        saidNotWritten_ = true;
        said.elsewhere += "Log file " + path_ + " not written: " + said.why + "\n";
      }
    }
    if (written) {
      lost_ = 0;
    } else if (!bytes.empty()) {
      missedSinceSee_ = true;
      lostTo_ = localTimeNow();
      if (lost_++ == 0) {
        lostFrom_ = lostTo_;
        lostWhy_ = said.why;
      }
    }
    if (!written)
      lossSaid.clear();
  }
  std::string head = said.head + lossSaid;
  if (!head.empty()) {
    OutputDebugStringA(head.c_str());
    if (eventSink_)
      eventSink_(LogKind::Warning, head);
  }
  tell(said.elsewhere);
  return written;
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
  (void)appendToFile("");
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
  if (!appendToFile(bytes) && standardErrorFallback_) {
    HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if (standardError && standardError != INVALID_HANDLE_VALUE)
      writeAll(standardError, bytes);
  }
  SetLastError(saved);
}

std::string DiagnosticLog::seeLog() {
  std::lock_guard<std::mutex> guard(mutex_);
  bool missed = missedSinceSee_;
  missedSinceSee_ = false;
  return missed ? "see standard error (" + path_ + " could not be written)" : "see " + path_;
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

void DiagnosticLog::writeFailure(const Result &result) {
  if (!result && result.call())
    writeError(result.call(), result.error(),
               result.routine() ? LogKind::Information : LogKind::Error);
}

std::string systemText(unsigned long code) {
  char *message = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char *>(&message), 0, nullptr);
  std::string text = length && message ? std::string(message, length) : std::string();
  LocalFree(message);
  return withoutTrailingSpace(text);
}
