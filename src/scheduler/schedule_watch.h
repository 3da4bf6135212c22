// Watches the Windows directory for changes of Qvn.ini on a thread of its
// own, so that the service reloads an edited or pushed schedule by itself.
#pragma once

#include "common/unique_handle.h"
#include "scheduler/file_settle.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

class ScheduleWatch {
public:
  // Starts watching; settled is called (on the watch's thread) each time
  // Qvn.ini changed and has since been still for a second. A watch that
  // cannot be set up, or fails later, is logged once and ends: the schedule
  // is then read again only when asked.
  explicit ScheduleWatch(std::function<void()> settled);
  // Ends the watch and waits for its thread.
  ~ScheduleWatch();
  // Called by the service as it reads Qvn.ini: a change that settles on
  // the file as it is now is not reported (a paramchange read it already).
  void reading();
  ScheduleWatch(const ScheduleWatch &) = delete;
  ScheduleWatch &operator=(const ScheduleWatch &) = delete;

private:
  static DWORD WINAPI threadMain(void *watch);
  void run();
  bool arm();    // asks for the next changes; false once logged
  void cancel(); // ends the request under way

  std::function<void()> settled_;
  const std::string path_;
  std::mutex lastReadLock_;
  FileStamp lastRead_;
  UniqueKernelHandle directory_, changed_, stop_, thread_;
  // What the system fills in for one request.
  struct Request {
    OVERLAPPED overlapped{};
    alignas(DWORD) char buffer[4096];
  };
  std::unique_ptr<Request> request_;
};
