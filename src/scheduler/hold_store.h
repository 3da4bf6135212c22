// Where holds are kept: one text value per held service under the "Qvn"
// service's registry key (HKLM\SYSTEM\CurrentControlSet\Services\Qvn\Holds),
// which only administrators may change and which outlives restarts.
#pragma once

#include "common/result.h"
#include "scheduler/holds.h"

#include <optional>
#include <string>
#include <vector>

// Keeps the hold's text as the service's value, the key made if needed.
Result storeHold(const std::string &service, const Hold &hold);
// Removes the service's value (with only: if it still keeps that hold, not
// one set since); fails with ERROR_FILE_NOT_FOUND, naming no call, when
// there is none to remove.
Result removeHold(const std::string &service, const std::optional<Hold> &only = std::nullopt);
// Every kept hold; none when the key is not there.
Expected<std::vector<StoredHold>> readHolds();

// Reads the kept holds into loaded (attachHolds); one that cannot be read,
// or a key that cannot, is a finding.
void attachStoredHolds(LoadedSchedule &loaded);
