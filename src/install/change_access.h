// Who may change a file or folder that a LocalSystem service runs, decided
// from its owner and access list alone; the folders above a path that
// decide it too, the places it must not be run from, and the fix line.
#pragma once

#include "common/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One access entry as stored: SIDs in their string form ("S-1-1-0").
struct AccessEntry {
  enum class Type { Allow, Deny, Other } type = Type::Allow;
  std::string sid;
  std::uint32_t mask = 0;
  bool inheritOnly = false; // for children only, not the object itself
};

struct ObjectSecurity {
  std::string owner;   // empty when there is none
  bool hasDacl = true; // false: a NULL access list, which grants everyone everything
  std::vector<AccessEntry> dacl;
};

// Why a file may not be run (or read) by a LocalSystem service.
struct Refusal {
  std::string problem;   // "<path> can be changed by <account>", "<path> is on ..."
  std::string fix;       // the line after "Fix: "; empty when there is none
  bool complete = false; // problem says all: no consequence follows it
  Result securityRead{}; // failed, naming the call, when a path's security could not be read
};

// An account outside the trusted ones that can change the object.
struct Changer {
  enum class Why { Owner, Rights, NoAccessList } why = Why::Rights;
  std::string sid;
};

// What an object is to the program that runs: the program itself or its
// folder, where writing or adding a file changes what runs; or a folder
// further up, which decides only by who may delete or rename it, delete its
// children, or change its permissions or owner (adding a subfolder is fine).
enum class Role { Program, Above };

// SYSTEM, Administrators and TrustedInstaller are trusted, and alsoTrusted
// when not empty. The first changer found: an untrusted owner, a NULL list,
// or an untrusted account allowed a right that counts for the role that no
// earlier deny entry for it or for Everyone takes away.
std::optional<Changer> untrustedChanger(const ObjectSecurity &security,
                                        const std::string &alsoTrusted, Role role = Role::Program);

// The line after "Fix: " that mends path: a file with an untrusted owner is
// replaced by a trusted copy; a folder's owner goes to Administrators; else
// SYSTEM and Administrators get full control, Users read and execute. A
// drive's root is never changed, nor a folder installerSid may change: the
// line then says to use another folder.
std::string fixLine(const std::string &path, bool directory, const Changer &changer,
                    const std::string &installerSid);

// path, then every folder above it up to its drive's root:
// "C:\FAH\c1\" gives "C:\FAH\c1", "C:\FAH", "C:\". A "\\?\" before a drive
// letter is dropped. Only path itself for a path without a drive letter.
std::vector<std::string> pathAndFoldersAbove(const std::string &path);

// Why a service must not run from path, or "" when it may: a network path,
// or a drive letter mapped to a share or made by subst, which LocalSystem
// does not see. driveType and device are what the system says of the
// path's drive letter (GetDriveType of its root, QueryDosDevice).
std::string foreignPlace(const std::string &path, unsigned driveType, const std::string &device);
