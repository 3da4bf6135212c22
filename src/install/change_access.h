// Who may change a file or folder that a LocalSystem service runs, decided
// from its owner and access list alone, and the icacls line that fixes it.
#pragma once

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

// An account outside the trusted ones that can change the object.
struct Changer {
  enum class Why { Owner, Rights, NoAccessList } why = Why::Rights;
  std::string sid;
};

// SYSTEM, Administrators and TrustedInstaller are trusted, and so is the
// account running the installer (installerSid). The first changer found:
// an untrusted owner, a NULL list, or an untrusted account allowed a right
// that changes what runs (write, append, add file or folder, delete, delete
// a child, change permissions or owner, generic write or all) that no
// earlier deny entry for it or for Everyone takes away.
std::optional<Changer> untrustedChanger(const ObjectSecurity &security,
                                        const std::string &installerSid);

// The icacls command line that leaves path to SYSTEM and Administrators
// (full control) and Users (read and execute), or, for an owner, gives it
// to Administrators.
std::string icaclsFix(const std::string &path, bool directory, const Changer &changer);
