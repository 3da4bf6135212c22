// When a changed file may be read: only once it has been still for a
// second (no change seen, the same size and write time, no writer holding
// it), so that a file an editor or a copy writes in steps is read whole.
#pragma once

#include <cstdint>

// The file as one look finds it.
struct FileStamp {
  bool exists = false;
  bool busy = false; // another process has it open for writing
  std::uint64_t size = 0;
  std::uint64_t writeTime = 0;
  bool operator==(const FileStamp &other) const {
    return exists == other.exists && busy == other.busy && size == other.size &&
           writeTime == other.writeTime;
  }
  bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

inline constexpr std::uint32_t kStillMs = 1000;
inline constexpr std::uint32_t kNothingPending = 0xFFFFFFFF; // as the system's INFINITE

// A change seen and not yet read.
struct PendingChange {
  bool pending = false;
  FileStamp stamp;             // as last seen
  std::uint32_t changedAt = 0; // tick count of the last change seen
};

struct SettleStep {
  bool read = false;                      // read the file now
  std::uint32_t waitMs = kNothingPending; // look again after this long
};

// One look at the file at tick count now, after a change notification
// naming it (notified) or after the wait of the previous step. A change
// that settles on the file as the service last read it (lastRead, as a
// paramchange read it) is not read again.
SettleStep settleStep(PendingChange &change, bool notified, const FileStamp &stamp,
                      const FileStamp &lastRead, std::uint32_t now);
