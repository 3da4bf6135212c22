// Holds set with "Qvn -hold": the request's checks, the text a hold is kept
// as (plain in regedit: "stopped until 2026-12-10 08:00", "running"), the
// stored holds put on the loaded schedule's records, and the lines said of
// a hold.
#pragma once

#include "scheduler/schedule_config.h"
#include "scheduler/weekly_schedule.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct HoldRequest {
  Hold hold;
  std::string error; // why it cannot be stored; empty: it may be
};

// A hold of service from the words after its name: "running" or "stopped",
// then an optional local time "YYYY-MM-DD HH:MM", as one word or two; the
// time must come after nowLocalMs. Words beyond the time are ignored.
HoldRequest holdRequest(const std::string &service, const std::vector<std::string> &words,
                        std::int64_t nowLocalMs);

// A hold as it is kept, and back; none for a text that is not one.
std::string holdText(const Hold &hold);
std::optional<Hold> parseHoldText(std::string_view text);

// A kept hold: the service's name and its text (none: not a text at all).
struct StoredHold {
  std::string service;
  std::optional<std::string> text;
};

// Puts each stored hold on the record of its service (names compared
// without case), or on a new record, only held, for a service the schedule
// does not name. One that cannot be read, or names the scheduler itself,
// is a finding and holds nothing.
void attachHolds(LoadedSchedule &loaded, const std::vector<StoredHold> &stored,
                 const std::string &ownService);

// The records without their holds, and without those that were only held:
// what a scheduler keeps to put the stored holds on again when the schedule
// file cannot be read again.
LoadedSchedule withoutHolds(const std::list<ServiceRecord> &records);

// "Service Spooler held stopped until 2026-12-10 08:00" ("... until released").
std::string holdSetLine(const std::string &service, const Hold &hold);
std::string holdReleasedLine(const std::string &service);
std::string holdEndedLine(const std::string &service, const Hold &hold);

// Why a hold could not be stored or removed, from the system's error.
std::string holdRefusedText(std::uint32_t error, const std::string &seeLog);

// When a stored change takes effect: the scheduler's state (none: not
// installed) and whether it was told.
std::string holdEffectText(std::optional<std::uint32_t> schedulerState, bool told,
                           const std::string &seeLog);
