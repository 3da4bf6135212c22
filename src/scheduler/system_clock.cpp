#include "scheduler/system_clock.h"

#include <windows.h>

namespace {

// FILETIME counts 100 ns from 1601-01-01, our times milliseconds from 1970.
constexpr std::int64_t kMsFrom1601To1970 = 11644473600000LL;

std::int64_t toMs(const FILETIME &t) {
  ULARGE_INTEGER v;
  v.LowPart = t.dwLowDateTime;
  v.HighPart = t.dwHighDateTime;
  return static_cast<std::int64_t>(v.QuadPart / 10000) - kMsFrom1601To1970;
}

FILETIME toFileTime(std::int64_t ms) {
  ULARGE_INTEGER v;
  v.QuadPart = static_cast<ULONGLONG>(ms + kMsFrom1601To1970) * 10000;
  return {v.LowPart, v.HighPart};
}

} // namespace

ClockReading readSystemClock() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return {toMs(now), GetTickCount()};
}

std::int64_t localOffsetMs(std::int64_t utcMs) {
  const FILETIME utc = toFileTime(utcMs);
  SYSTEMTIME utcParts, localParts;
  FILETIME local;
  if (FileTimeToSystemTime(&utc, &utcParts) &&
      SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &localParts) &&
      SystemTimeToFileTime(&localParts, &local))
    return toMs(local) - utcMs;
  // Not expected for any time the clock shows; the bias in force now is
  // what the local clock itself would give.
  if (!FileTimeToLocalFileTime(&utc, &local))
    return 0;
  return toMs(local) - utcMs;
}

SchedulerClock systemClock() { return {readSystemClock, localOffsetMs}; }

std::int32_t scheduleMinuteNow() {
  return minuteOfWeekAt(latestLocalTime(localOffsetMs, readSystemClock().utcMs));
}
