#include "scheduler/schedule_watch.h"

#include "common/names.h"
#include "config/ini_reader.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <memory>
#include <string>

namespace {

const DWORD kChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

void tellNotWatched(const char *context, DWORD error) {
  g_log.writeError(context, error);
  g_log.writeLine(std::string(kScheduleFile) +
                      " is not watched for changes: it is read again at paramchange",
                  LogKind::Warning);
}

FileStamp stampOf(const std::string &path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return stamp;
  stamp.exists = true;
  stamp.size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.writeTime = (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
  // Opening it without letting others write fails while a writer has it.
  UniqueKernelHandle file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  stamp.busy = !file && GetLastError() == ERROR_SHARING_VIOLATION;
  return stamp;
}

// Whether the notifications in buffer (bytes long) name fileName; an
// overflowed buffer (no bytes) may have.
bool namesFile(const char *buffer, DWORD bytes, const std::string &fileName) {
  if (bytes == 0)
    return true;
  wchar_t wide[MAX_PATH];
  int length = MultiByteToWideChar(CP_ACP, 0, fileName.c_str(), -1, wide, MAX_PATH) - 1;
  for (DWORD at = 0; at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
    auto *info = reinterpret_cast<const FILE_NOTIFY_INFORMATION *>(buffer + at);
    if (int(info->FileNameLength / sizeof(wchar_t)) == length &&
        CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, info->FileName, length, wide, length) ==
            CSTR_EQUAL)
      return true;
    if (info->NextEntryOffset == 0)
      break;
    at += info->NextEntryOffset;
  }
  return false;
}

} // namespace

ScheduleWatch::ScheduleWatch(std::function<void()> settled)
    : settled_(std::move(settled)), path_(profilePath(kScheduleFile)) {
  // The folder the profile functions read Qvn.ini from.
  directory_.reset(
      CreateFileA(path_.substr(0, path_.find_last_of('\\')).c_str(), FILE_LIST_DIRECTORY,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
  if (!directory_) {
    tellNotWatched("CreateFile()", GetLastError());
    return;
  }
  changed_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!changed_ || !stop_) {
    tellNotWatched("CreateEvent()", GetLastError());
    return;
  }
  request_ = std::make_unique<Request>();
  request_->overlapped.hEvent = changed_.get();
  // Armed here, so that a change made once the service runs is seen.
  if (!arm())
    return;
  thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, nullptr));
  if (!thread_) {
    tellNotWatched("CreateThread()", GetLastError());
    cancel();
  }
}

ScheduleWatch::~ScheduleWatch() {
  if (!thread_)
    return;
  SetEvent(stop_.get());
  WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI ScheduleWatch::threadMain(void *watch) {
  static_cast<ScheduleWatch *>(watch)->run();
  return 0;
}

bool ScheduleWatch::arm() {
  ResetEvent(changed_.get());
  if (ReadDirectoryChangesW(directory_.get(), request_->buffer, sizeof request_->buffer, FALSE,
                            kChanges, nullptr, &request_->overlapped, nullptr))
    return true;
  tellNotWatched("ReadDirectoryChangesW()", GetLastError());
  return false;
}

void ScheduleWatch::reading() {
  FileStamp stamp = stampOf(path_);
  std::lock_guard<std::mutex> lock(lastReadLock_);
  lastRead_ = stamp;
}

void ScheduleWatch::run() {
  PendingChange change;
  DWORD wait = INFINITE;
  for (;;) {
    HANDLE events[] = {stop_.get(), changed_.get()};
    DWORD woke = WaitForMultipleObjects(2, events, FALSE, wait);
    bool notified = false;
    if (woke == WAIT_OBJECT_0 + 1) {
      DWORD bytes = 0;
      if (!GetOverlappedResult(directory_.get(), &request_->overlapped, &bytes, FALSE)) {
        tellNotWatched("ReadDirectoryChangesW()", GetLastError());
        return;
      }
      notified = namesFile(request_->buffer, bytes, kScheduleFile);
      if (!arm())
        return;
    } else if (woke != WAIT_TIMEOUT) {
      break; // stopped
    }
    // Other files of the directory change too: the file is looked at only
    // when named or while a change of it settles.
    if (!notified && !change.pending)
      continue;
    FileStamp lastRead;
    {
      std::lock_guard<std::mutex> lock(lastReadLock_);
      lastRead = lastRead_;
    }
    SettleStep step = settleStep(change, notified, stampOf(path_), lastRead, GetTickCount());
    if (step.read) {
      g_log.writeLine(path_ + " changed", LogKind::Record);
      settled_();
    }
    wait = step.waitMs;
  }
  cancel();
}

void ScheduleWatch::cancel() {
  CancelIo(directory_.get());
  // The system may write into the request until it says the cancelled
  // request ended, which Wine never says: its memory is left to it rather
  // than waited for, so that a stop is never held up (the watch ends with
  // the service's process).
  request_.release();
}
