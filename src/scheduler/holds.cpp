#include "scheduler/holds.h"

#include "common/names.h"
#include "common/system_numbers.h"
#include "common/text.h"
#include "scheduler/calendar.h"

namespace {

const char kUsage[] = "Qvn -hold <service> running|stopped [YYYY-MM-DD HH:MM]";

std::optional<bool> stateWord(std::string_view word) {
  if (word == "running")
    return true;
  if (word == "stopped")
    return false;
  return std::nullopt;
}

std::string stateText(const Hold &hold) { return hold.wantRunning ? "running" : "stopped"; }

} // namespace

HoldRequest holdRequest(const std::string &service, const std::vector<std::string> &words,
                        std::int64_t nowLocalMs) {
  HoldRequest request;
  if (service.empty() || words.empty()) {
    request.error = std::string("name a service and its state: ") + kUsage;
    return request;
  }
  // The manager refuses these characters in a service's name.
  if (service.find_first_of("\\/") != std::string::npos) {
    request.error = "\"" + service + "\" is not a service name";
    return request;
  }
  if (sameServiceName(service, kSchedulerService)) {
    request.error = service + " is the scheduler itself";
    return request;
  }
  std::optional<bool> state = stateWord(words[0]);
  if (!state) {
    request.error = "unknown state \"" + words[0] + "\": running or stopped";
    return request;
  }
  request.hold.wantRunning = *state;
  if (words.size() == 1)
    return request;
  // "2026-12-10 08:00" comes as two words unless quoted.
  std::string time = words[1];
  if (words.size() > 2 && time.find(' ') == std::string::npos)
    time += " " + words[2];
  std::optional<std::int64_t> until = parseLocalTime(time);
  if (!until)
    request.error = "\"" + time + "\" is not a time YYYY-MM-DD HH:MM";
  else if (*until <= nowLocalMs)
    request.error = time + " has passed";
  else
    request.hold.untilLocalMs = until;
  return request;
}

std::string holdText(const Hold &hold) {
  return stateText(hold) + (hold.untilLocalMs ? " until " + localTimeText(*hold.untilLocalMs) : "");
}

std::optional<Hold> parseHoldText(std::string_view text) {
  const std::string_view until = " until ";
  std::size_t at = text.find(' ');
  std::optional<bool> state = stateWord(text.substr(0, at));
  if (!state)
    return std::nullopt;
  Hold hold{*state, std::nullopt};
  if (at == std::string_view::npos)
    return hold;
  if (text.substr(at, until.size()) != until ||
      !(hold.untilLocalMs = parseLocalTime(text.substr(at + until.size()))))
    return std::nullopt;
  return hold;
}

void attachHolds(LoadedSchedule &loaded, const std::vector<StoredHold> &stored,
                 const std::string &ownService) {
  for (const StoredHold &kept : stored) {
    std::optional<Hold> hold = kept.text ? parseHoldText(*kept.text) : std::nullopt;
    if (!hold || sameServiceName(kept.service, ownService)) {
      std::string what = kept.text ? "\"" + *kept.text + "\"" : "not a text";
      loaded.findings.push_back({ScheduleFinding::Kind::DamagedHold, "", kept.service, what,
                                 "Hold of service " + kept.service + " not understood (" + what +
                                     "): ignored; Qvn -release " + kept.service + " removes it"});
      continue;
    }
    ServiceRecord *record = nullptr;
    for (ServiceRecord &each : loaded.records)
      if (sameServiceName(each.name, kept.service))
        record = &each;
    if (!record) {
      record = &loaded.records.emplace_back();
      record->name = kept.service;
      record->scheduled = false;
    }
    record->hold = hold;
  }
}

LoadedSchedule withoutHolds(const std::list<ServiceRecord> &records) {
  LoadedSchedule kept;
  for (const ServiceRecord &record : records)
    if (record.scheduled) {
      kept.records.push_back(record);
      kept.records.back().hold.reset();
    }
  return kept;
}

std::string holdSetLine(const std::string &service, const Hold &hold) {
  return "Service " + service + " held " + stateText(hold) + " until " +
         (hold.untilLocalMs ? localTimeText(*hold.untilLocalMs) : "released");
}

std::string holdReleasedLine(const std::string &service) {
  return "Hold of service " + service + " released";
}

std::string holdEndedLine(const std::string &service, const Hold &hold) {
  return "Hold of service " + service + " (" + holdText(hold) + ") ended by its time";
}

std::string holdRefusedText(std::uint32_t error, const std::string &seeLog) {
  // Holds are kept where only administrators may write.
  if (error == syserr::kAccessDenied)
    return "it needs an elevated prompt (run as administrator)";
  return seeLog;
}

std::string holdEffectText(std::optional<std::uint32_t> schedulerState, bool told,
                           const std::string &seeLog) {
  if (!schedulerState)
    return "Quorvane is not installed: this takes effect once it is (Qvn -install)";
  if (*schedulerState == scm::kStatePaused && told)
    return "Quorvane is paused: it acts on this when continued";
  if (told)
    return "Quorvane was told and acts on this now";
  if (*schedulerState == scm::kStateRunning || *schedulerState == scm::kStatePaused)
    return "Quorvane could not be told, " + seeLog + ": this takes effect when it starts again";
  return "Quorvane is not running: this takes effect when it starts";
}
