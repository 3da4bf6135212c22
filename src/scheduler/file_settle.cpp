#include "scheduler/file_settle.h"

SettleStep settleStep(PendingChange &change, bool notified, const FileStamp &stamp,
                      const FileStamp &lastRead, std::uint32_t now) {
  // A writer still holding the file counts as a change: it may write more.
  if (notified || stamp.busy || (change.pending && stamp != change.stamp))
    change = {true, stamp, now};
  if (!change.pending)
    return {};
  const std::uint32_t still = now - change.changedAt; // the tick count wraps
  if (still >= kStillMs) {
    change.pending = false;
    return {stamp != lastRead, kNothingPending};
  }
  return {false, kStillMs - still};
}
