#include "scheduler/schedule_time.h"

#include "scheduler/weekly_schedule.h"

#include <algorithm>

namespace {

constexpr std::int64_t kMinuteMs = 60000;
// 1970-01-01 was a Thursday.
constexpr std::int64_t kEpochMinuteOfWeek = 4 * kMinutesPerDay;
// Shorter than the time between two offset changes of any zone, so each
// step of a scan holds one change at most.
constexpr std::int64_t kScanStepMs = 10 * kMinuteMs;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

} // namespace

std::int32_t minuteOfWeekAt(std::int64_t localMs) {
  std::int64_t minutes = floorDiv(localMs, kMinuteMs) + kEpochMinuteOfWeek;
  return static_cast<std::int32_t>(minutes - floorDiv(minutes, kMinutesPerWeek) * kMinutesPerWeek);
}

std::optional<std::int64_t> nextOffsetChange(const OffsetAt &offsetAt, std::int64_t fromUtcMs,
                                             std::int64_t withinMs) {
  if (withinMs <= 0)
    return std::nullopt;
  const std::int64_t offset = offsetAt(fromUtcMs);
  std::int64_t same = fromUtcMs, changed = fromUtcMs + withinMs;
  if (offsetAt(changed) == offset)
    return std::nullopt;
  while (changed - same > 1) {
    std::int64_t middle = same + (changed - same) / 2;
    (offsetAt(middle) == offset ? same : changed) = middle;
  }
  return changed;
}

std::int64_t scheduleTime(std::int64_t localMs, std::int64_t lastReadMs) {
  if (lastReadMs <= localMs || lastReadMs - localMs > kHoldBackMs)
    return localMs;
  return lastReadMs;
}

std::int64_t latestLocalTime(const OffsetAt &offsetAt, std::int64_t utcMs) {
  const std::int64_t local = utcMs + offsetAt(utcMs);
  std::int64_t latest = local;
  // The local clock runs with real time except where the offset drops; the
  // latest time it showed is now or just before such a drop.
  for (std::int64_t from = utcMs - kHoldBackMs; from < utcMs; from += kScanStepMs) {
    std::int64_t within = std::min(kScanStepMs, utcMs - from);
    if (std::optional<std::int64_t> change = nextOffsetChange(offsetAt, from, within))
      latest = std::max(latest, *change - 1 + offsetAt(*change - 1));
  }
  return scheduleTime(local, latest);
}

LocalTimeFate localTimeFate(const OffsetAt &offsetAt, std::int64_t localMs) {
  // The real instants the local time would be at under the offsets a day
  // before and after: no zone changes its offset twice within two days.
  constexpr std::int64_t kDayMs = 24 * 60 * kMinuteMs;
  const std::int64_t near = localMs - offsetAt(localMs);
  const std::int64_t early = localMs - offsetAt(near - kDayMs),
                     late = localMs - offsetAt(near + kDayMs);
  auto shows = [&](std::int64_t utc) { return utc + offsetAt(utc) == localMs; };
  if (early == late)
    return {};
  if (shows(early) && shows(late))
    return {LocalTimeFate::Kind::Twice, localMs};
  if (shows(early) || shows(late))
    return {};
  const std::int64_t from = std::min(early, late);
  std::optional<std::int64_t> jump = nextOffsetChange(offsetAt, from, std::max(early, late) - from);
  return {LocalTimeFate::Kind::Skipped, jump ? *jump + offsetAt(*jump) : localMs};
}
