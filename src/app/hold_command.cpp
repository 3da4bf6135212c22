#include "app/hold_command.h"

#include "common/names.h"
#include "log/diagnostic_log.h"
#include "log/event_log.h"
#include "scheduler/hold_store.h"
#include "scheduler/system_clock.h"
#include "scm/service_manager_connection.h"

#include <windows.h>

#include <cstdio>

namespace {

// A hold changes what the scheduler does: it goes to the Event Log too.
void say(const std::string &line) {
  g_log.setEventSink(eventLogSink());
  g_log.writeLine(line, LogKind::Information);
  std::printf("%s\n", line.c_str());
}

// Tells a running or paused scheduler to read the holds again (it checks at
// once), and says when the change takes effect.
void tellScheduler() {
  ServiceManagerConnection scm;
  Expected<std::uint32_t> state = scm.queryState(kSchedulerService);
  std::optional<std::uint32_t> known;
  bool told = false;
  if (state) {
    known = *state;
    if (*state == SERVICE_RUNNING || *state == SERVICE_PAUSED) {
      Result reloaded = scm.reloadService(kSchedulerService);
      g_log.writeFailure(reloaded);
      told = static_cast<bool>(reloaded);
    }
  } else if (!state.result().failedWith(ERROR_SERVICE_DOES_NOT_EXIST)) {
    g_log.writeError("Quorvane service not queried", state.error());
    known = SERVICE_RUNNING; // as far as we know: said as not told
  }
  std::printf("%s\n", holdEffectText(known, told, g_log.seeLog()).c_str());
}

} // namespace

bool holdService(const std::optional<std::string> &service, const std::vector<std::string> &words) {
  std::int64_t utc = readSystemClock().utcMs;
  HoldRequest request = holdRequest(service.value_or(""), words, utc + localOffsetMs(utc));
  if (!request.error.empty()) {
    std::printf("Hold not stored: %s\n", request.error.c_str());
    return false;
  }
  // A name the manager does not know is most likely a typing error.
  if (ServiceManagerConnection()
          .queryState(service->c_str())
          .result()
          .failedWith(ERROR_SERVICE_DOES_NOT_EXIST)) {
    std::printf("Hold not stored: service %s is not installed\n", service->c_str());
    return false;
  }
  if (Result stored = storeHold(*service, request.hold); !stored) {
    g_log.writeFailure(stored);
    std::printf("Hold not stored: %s\n", holdRefusedText(stored.error(), g_log.seeLog()).c_str());
    return false;
  }
  say(holdSetLine(*service, request.hold));
  tellScheduler();
  return true;
}

bool releaseService(const std::optional<std::string> &service) {
  if (!service || service->empty()) {
    std::printf("Hold not released: name a service: Qvn -release <service>\n");
    return false;
  }
  Result removed = removeHold(*service);
  if (removed.failedWith(ERROR_FILE_NOT_FOUND)) {
    std::printf("Service %s has no hold\n", service->c_str());
    return false;
  }
  if (!removed) {
    g_log.writeFailure(removed);
    std::printf("Hold not released: %s\n",
                holdRefusedText(removed.error(), g_log.seeLog()).c_str());
    return false;
  }
  say(holdReleasedLine(*service));
  tellScheduler();
  return true;
}
