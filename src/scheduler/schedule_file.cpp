#include "scheduler/schedule_file.h"

#include "common/profile_flag.h"
#include "scheduler/schedule_parser.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using LogLine = std::function<void(const std::string &)>;

// The profile functions cut an answer that does not fit their buffer and
// then return its size less cutMargin: read again with twice the room until
// the answer fits, so no entry and no section is lost.
template <typename Read> std::string readWhole(Read read, DWORD cutMargin) {
  std::vector<char> buffer(2048);
  for (;;) {
    DWORD length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length + cutMargin < buffer.size() || buffer.size() >= (1u << 24))
      return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string readValue(const std::string &path, const std::string &section, const char *key,
                      const char *defaultValue) {
  return readWhole(
      [&](char *buffer, DWORD size) {
        return GetPrivateProfileStringA(section.c_str(), key, defaultValue, buffer, size,
                                        path.c_str());
      },
      1);
}

// The section names in file order; a name may come more than once.
std::vector<std::string> readSectionNames(const std::string &path) {
  std::string list = readWhole(
      [&](char *buffer, DWORD size) {
        return GetPrivateProfileSectionNamesA(buffer, size, path.c_str());
      },
      2);
  std::vector<std::string> names;
  for (size_t at = 0; at < list.size() && list[at];) {
    size_t end = list.find('\0', at);
    if (end == std::string::npos)
      end = list.size();
    names.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

// Where the profile functions look for fileName.
std::string profilePath(const char *fileName) {
  if (std::strpbrk(fileName, "\\/:"))
    return fileName;
  char directory[MAX_PATH] = "";
  UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return fileName; // the profile functions then resolve it themselves
  return std::string(directory, length) + "\\" + fileName;
}

void readPoints(const std::string &path, ServiceRecord &record, const char *key, bool wantRunning,
                const LogLine &logLine) {
  std::string value = readValue(path, record.name, key, "");
  for (const std::string &token : parseScheduleValue(value, wantRunning, record.schedule)) {
    logLine("Ignoring schedule entry " + token + " of service " + record.name);
    record.ignoredTokens.push_back(token);
  }
}

bool listed(const std::list<ServiceRecord> &records, const std::string &name) {
  for (const ServiceRecord &record : records)
    if (sameServiceName(record.name, name))
      return true;
  return false;
}

} // namespace

void loadScheduleFile(const char *fileName, std::list<ServiceRecord> &records,
                      const LogLine &logLine) {
  std::string path = profilePath(fileName);
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    logLine("Schedule file " + path + " not found: no service is controlled");
    return;
  }
  std::list<ServiceRecord> loaded;
  for (const std::string &name : readSectionNames(path)) {
    // The profile functions read only the first section of a name.
    if (listed(loaded, name)) {
      logLine("Ignoring repeated schedule section " + name);
      continue;
    }
    ServiceRecord &record = loaded.emplace_back();
    record.name = name;
    // Start points first, so a stop point lands after a start of the same minute.
    readPoints(path, record, "Start", true, logLine);
    readPoints(path, record, "Stop", false, logLine);
    record.forceStart = isFlagSet(readValue(path, name, "ForceStart", "n"));
    record.forceStop = isFlagSet(readValue(path, name, "ForceStop", "n"));
    for (const ScheduleEntry &entry : record.schedule) {
      char line[32];
      std::snprintf(line, sizeof line, "%s at %d", entry.wantRunning ? "Start" : "Stop",
                    static_cast<int>(entry.minuteOfWeek));
      logLine(line);
    }
  }
  records.splice(records.end(), loaded);
}
