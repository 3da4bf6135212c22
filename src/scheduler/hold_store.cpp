#include "scheduler/hold_store.h"

#include "common/names.h"
#include "common/unique_handle.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <cstring>

namespace {

const std::string kHoldsKey =
    std::string("SYSTEM\\CurrentControlSet\\Services\\") + kSchedulerService + "\\Holds";

} // namespace

Result storeHold(const std::string &service, const Hold &hold) {
  UniqueHKey key;
  LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHoldsKey.c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, "RegCreateKeyEx()");
  const std::string text = holdText(hold);
  rc = RegSetValueExA(key.get(), service.c_str(), 0, REG_SZ,
                      reinterpret_cast<const BYTE *>(text.c_str()),
                      static_cast<DWORD>(text.size() + 1));
  return rc == ERROR_SUCCESS ? Result() : Result::failure(rc, "RegSetValueEx()");
}

Result removeHold(const std::string &service, const std::optional<Hold> &only) {
  UniqueHKey key;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHoldsKey.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                          key.put());
  char data[256] = "";
  DWORD size = sizeof data - 1;
  if (rc == ERROR_SUCCESS && only &&
      (RegQueryValueExA(key.get(), service.c_str(), nullptr, nullptr,
                        reinterpret_cast<BYTE *>(data), &size) != ERROR_SUCCESS ||
       std::string(data, strnlen(data, size)) != holdText(*only)))
    rc = ERROR_FILE_NOT_FOUND;
  if (rc == ERROR_SUCCESS)
    rc = RegDeleteValueA(key.get(), service.c_str());
  if (rc == ERROR_FILE_NOT_FOUND)
    return Result::failure(rc);
  return rc == ERROR_SUCCESS ? Result() : Result::failure(rc, "RegDeleteValue()");
}

Expected<std::vector<StoredHold>> readHolds() {
  std::vector<StoredHold> holds;
  UniqueHKey key;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHoldsKey.c_str(), 0, KEY_QUERY_VALUE, key.put());
  if (rc == ERROR_FILE_NOT_FOUND)
    return holds;
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, "RegOpenKeyEx()");
  for (DWORD index = 0;; ++index) {
    char name[16384]; // the longest value name
    DWORD nameSize = sizeof name, type = 0, size = 0;
    rc = RegEnumValueA(key.get(), index, name, &nameSize, nullptr, &type, nullptr, &size);
    if (rc == ERROR_NO_MORE_ITEMS)
      return holds;
    if (rc != ERROR_SUCCESS)
      return Result::failure(rc, "RegEnumValue()");
    StoredHold &hold = holds.emplace_back();
    hold.service.assign(name, nameSize);
    // A hold's text is short: a longer one, or another type, is damaged.
    char data[256] = "";
    size = sizeof data - 1;
    if (type == REG_SZ && RegQueryValueExA(key.get(), name, nullptr, &type,
                                           reinterpret_cast<BYTE *>(data), &size) == ERROR_SUCCESS)
      hold.text = std::string(data, strnlen(data, size));
  }
}

void attachStoredHolds(LoadedSchedule &loaded) {
  Expected<std::vector<StoredHold>> holds = readHolds();
  if (!holds) {
    std::string why = systemText(holds.error());
    loaded.findings.push_back(
        {ScheduleFinding::Kind::DamagedHold, "", "", why,
         "Holds not read: " + why + " (error " + std::to_string(holds.error()) + ")"});
    return;
  }
  attachHolds(loaded, *holds, kSchedulerService);
}
