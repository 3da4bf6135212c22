// The schedule file read into service records, and everything found wrong
// with it: one function over the file's sections, used alike by the service
// and by "Qvn -test", so the two never disagree.
#pragma once

#include "config/ini_file.h"
#include "scheduler/weekly_schedule.h"

#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <vector>

struct ScheduleFinding {
  enum class Kind {
    FileMissing,         // nothing is scheduled; not a problem
    FileUnreadable,      // held by another program, no right to read it...
    FileWithoutSections, // text, but no section the profile functions see
    Utf8Mark,            // Windows' profile functions do not read the mark
    TextBeforeSections,  // a line the profile functions skip
    SectionNameLost,     // a name outside the system code page
    OwnSection,          // the scheduler's own service
    RepeatedSection,     // only the first of a name is read
    IgnoredEntry,        // a point not taken
    IgnoredText,         // a point taken, text after its time ignored
    IgnoredHoliday,      // a date, range or yearly date not taken
    IgnoredHolidayAs,    // not a weekday digit or "-": holidays run as Sunday
    UnknownKey,
    RepeatedKey,    // only the first line of a key is read
    ForceNeverActs, // ForceStart/ForceStop for a state never wanted
    Disabled,       // to be started, but Windows will not start it
    DamagedHold,    // a kept hold that cannot be read
  };
  Kind kind;
  std::string section; // the section it belongs to; empty for the file
  std::string subject; // the token, key or flag it is about
  std::string detail;  // why, or the part ignored
  std::string logLine; // the service's line for it

  bool isProblem() const { return kind != Kind::FileMissing; }
};

struct LoadedSchedule {
  std::list<ServiceRecord> records;
  std::vector<ScheduleFinding> findings;
  // False when the file exists but could not be read as a schedule (see
  // FileUnreadable, FileWithoutSections): a running scheduler keeps what it had.
  bool usable = true;

  std::size_t points() const;
};

// One record per section of file, in file order, but for the scheduler's
// own service (ownService) and sections it cannot use; the keys "Start",
// "Stop", "ForceStart", "ForceStop", "Holidays" and "HolidayAs". The own
// service's section gives only "Holidays", every service's.
LoadedSchedule loadSchedule(const IniFile &file, const std::string &ownService);

// Adds a finding for each record the scheduler may start (a start point,
// no point at all, or ForceStart) whose service isDisabled answers for.
void checkStartTypes(LoadedSchedule &loaded,
                     const std::function<bool(const std::string &)> &isDisabled);

// "Start at N" / "Stop at N" for each point of the record, N its minute of the week.
std::vector<std::string> pointLines(const ServiceRecord &record);
