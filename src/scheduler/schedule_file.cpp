#include "scheduler/schedule_file.h"

#include "common/profile_flag.h"
#include "log/diagnostic_log.h"
#include "scheduler/schedule_parser.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

std::list<ServiceRecord> g_serviceRecords;

namespace {

// Profile values and the section list are read into buffers of this size;
// whatever does not fit is cut.
constexpr DWORD kBufferSize = 2048;

std::string readValue(const char *fileName, const char *section, const char *key,
                      const char *defaultValue) {
  char buffer[kBufferSize];
  DWORD length =
      GetPrivateProfileStringA(section, key, defaultValue, buffer, kBufferSize, fileName);
  return std::string(buffer, length);
}

void readPoints(const char *fileName, ServiceRecord &record, const char *key, bool wantRunning) {
  std::string value = readValue(fileName, record.name.c_str(), key, "");
  for (const std::string &token : parseScheduleValue(value, wantRunning, record.schedule))
    g_log.writeLine("Ignoring schedule entry " + token + " of service " + record.name);
}

} // namespace

void loadScheduleFile(const char *fileName, std::list<ServiceRecord> &records) {
  char names[kBufferSize];
  DWORD length = GetPrivateProfileSectionNamesA(names, kBufferSize, fileName);
  const char *end = names + length;
  for (const char *name = names; name < end && *name; name += strlen(name) + 1) {
    // A list that filled the buffer ends in a name that may be cut short and
    // so name another service: leave it out rather than control that one.
    if (length == kBufferSize - 2 && name + strlen(name) + 1 >= end) {
      g_log.writeLine(std::string("Ignoring schedule section ") + name +
                      " (section list too long)");
      break;
    }
    ServiceRecord &record = records.emplace_back();
    record.name = name;
    // Start points first, so a stop point lands after a start of the same minute.
    readPoints(fileName, record, "Start", true);
    readPoints(fileName, record, "Stop", false);
    record.forceStart = isFlagSet(readValue(fileName, name, "ForceStart", "n"));
    record.forceStop = isFlagSet(readValue(fileName, name, "ForceStop", "n"));
    for (const ScheduleEntry &entry : record.schedule) {
      char line[32];
      std::snprintf(line, sizeof line, "%s at %d", entry.wantRunning ? "Start" : "Stop",
                    static_cast<int>(entry.minuteOfWeek));
      g_log.writeLine(line);
    }
  }
}

void loadScheduleFile() { loadScheduleFile("Qvn.ini", g_serviceRecords); }
