#include "install/change_access.h"

#include <iterator>

namespace {

const char *const kEveryone = "S-1-1-0";
const char *const kUsers = "S-1-5-32-545";
const char *const kAdministrators = "S-1-5-32-544";
const char *const kTrusted[] = {
    "S-1-5-18", // SYSTEM
    kAdministrators,
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", // TrustedInstaller
};
// CREATOR OWNER, CREATOR GROUP and OWNER RIGHTS stand for the owner, which
// is judged on its own; as entries of the object itself they grant no one
// else anything.
const char *const kStandIns[] = {"S-1-3-0", "S-1-3-1", "S-1-3-4"};

// File rights, as the system's headers number them.
constexpr std::uint32_t kWriteData = 0x2, kAppendData = 0x4, kDeleteChild = 0x40, kDelete = 0x10000,
                        kWriteDac = 0x40000, kWriteOwner = 0x80000, kGenericAll = 0x10000000,
                        kGenericWrite = 0x40000000;
constexpr std::uint32_t kChanging = kWriteData | kAppendData | kDeleteChild | kDelete | kWriteDac |
                                    kWriteOwner | kGenericAll | kGenericWrite;
// What the generic rights stand for on a file, so that a deny of generic
// write also takes away the specific write rights it covers.
constexpr std::uint32_t kFileGenericWrite = 0x120116, kFileAllAccess = 0x1F01FF;

std::uint32_t expanded(std::uint32_t mask) {
  if (mask & kGenericWrite)
    mask |= kFileGenericWrite;
  if (mask & kGenericAll)
    mask |= kFileAllAccess | kGenericWrite;
  return mask;
}

bool oneOf(const std::string &sid, const char *const *begin, const char *const *end) {
  for (const char *const *s = begin; s != end; ++s)
    if (sid == *s)
      return true;
  return false;
}

bool trusted(const std::string &sid, const std::string &installerSid) {
  return oneOf(sid, std::begin(kTrusted), std::end(kTrusted)) ||
         (!installerSid.empty() && sid == installerSid);
}

} // namespace

std::optional<Changer> untrustedChanger(const ObjectSecurity &security,
                                        const std::string &installerSid) {
  if (!security.owner.empty() && !trusted(security.owner, installerSid))
    return Changer{Changer::Why::Owner, security.owner};
  if (!security.hasDacl)
    return Changer{Changer::Why::NoAccessList, kEveryone};
  // The system reads entries in order: a right denied before it is allowed
  // stays denied. Only a deny for the same account or for Everyone surely
  // covers every member of an account; any other deny is not counted.
  for (size_t i = 0; i < security.dacl.size(); ++i) {
    const AccessEntry &allow = security.dacl[i];
    if (allow.type != AccessEntry::Type::Allow || allow.inheritOnly ||
        trusted(allow.sid, installerSid) ||
        oneOf(allow.sid, std::begin(kStandIns), std::end(kStandIns)))
      continue;
    std::uint32_t denied = 0;
    for (size_t j = 0; j < i; ++j) {
      const AccessEntry &deny = security.dacl[j];
      if (deny.type == AccessEntry::Type::Deny && !deny.inheritOnly &&
          (deny.sid == allow.sid || deny.sid == kEveryone))
        denied |= expanded(deny.mask);
    }
    if (expanded(allow.mask) & kChanging & ~denied)
      return Changer{Changer::Why::Rights, allow.sid};
  }
  return std::nullopt;
}

std::string icaclsFix(const std::string &path, bool directory, const Changer &changer) {
  std::string command = "icacls \"" + path + "\"";
  if (changer.why == Changer::Why::Owner)
    return command + " /setowner *" + kAdministrators;
  const std::string inherit = directory ? "(OI)(CI)" : "";
  command += " /inheritance:r /grant:r *S-1-5-18:" + inherit + "F *" + kAdministrators + ":" +
             inherit + "F *" + kUsers + ":" + inherit + "RX";
  // An entry of the object's own stays after inheritance is removed.
  if (changer.why == Changer::Why::Rights && changer.sid != kUsers)
    command += " /remove:g *" + changer.sid;
  return command;
}
