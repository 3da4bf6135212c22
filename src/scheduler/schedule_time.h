// The local time a schedule is read at. Times are milliseconds since
// 1970-01-01 00:00: real time counts from that instant in UTC, local time
// from that moment on the local clock (UTC plus the offset in force). When
// the local clock goes back (daylight saving time ends, or it is corrected)
// the schedule is held where it was until the clock gets there again, so a
// point acts once; these functions decide where, and when the offset changes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// Local time minus UTC, in milliseconds, in force at a real instant.
using OffsetAt = std::function<std::int64_t(std::int64_t utcMs)>;

// Furthest the local clock may go back and still be held: more than any
// daylight-saving change (an hour, two at most) and any correction by time
// synchronisation. A clock set back further is taken as a new clock (a
// wrong date or time zone corrected), read as it is.
constexpr std::int64_t kHoldBackMs = 3 * 60 * 60 * 1000;

// The minute of the week (0 Sunday 00:00) of a local time.
std::int32_t minuteOfWeekAt(std::int64_t localMs);

// The first instant after fromUtcMs, at most withinMs later, at which the
// offset differs from the one at fromUtcMs. Looks for one change only: no
// zone changes its offset twice within the ten minutes the scheduler waits.
std::optional<std::int64_t> nextOffsetChange(const OffsetAt &offsetAt, std::int64_t fromUtcMs,
                                             std::int64_t withinMs);

// The local time to read the schedule at, given the local time now and the
// one it was last read at: the later one, unless the clock went back by
// more than kHoldBackMs.
std::int64_t scheduleTime(std::int64_t localMs, std::int64_t lastReadMs);

// The latest local time the clock showed in the kHoldBackMs up to utcMs, as
// the offsets tell: after daylight saving time ended, the time just before
// the clock went back; otherwise the local time at utcMs. Where a process
// without a past (a scheduler just started, "-test") reads the schedule.
std::int64_t latestLocalTime(const OffsetAt &offsetAt, std::int64_t utcMs);

// What the local clock does with a local time: shows it once, shows it twice
// (the hour repeated when the offset drops: a point then acts once), or skips
// it (the hour the offset jumps over: a point then acts at the jump, the
// local time the clock then shows, in actsAtMs).
struct LocalTimeFate {
  enum class Kind { Once, Twice, Skipped };
  Kind kind = Kind::Once;
  std::int64_t actsAtMs = 0;
};
LocalTimeFate localTimeFate(const OffsetAt &offsetAt, std::int64_t localMs);
