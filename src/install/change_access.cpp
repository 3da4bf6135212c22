#include "install/change_access.h"

#include "common/system_numbers.h"

#include <algorithm>
#include <cctype>
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

using namespace rights;

constexpr std::uint32_t kChanging = kWriteData | kAppendData | kDeleteChild | kDelete | kWriteDac |
                                    kWriteOwner | kGenericAll | kGenericWrite;
// Above the program's folder: whoever may delete or rename a folder, or
// delete its children, can put a folder of their own in its place; adding
// a subfolder (kAppendData) or a file there changes nothing that runs.
constexpr std::uint32_t kChangingAbove =
    kDeleteChild | kDelete | kWriteDac | kWriteOwner | kGenericAll;
// With what the generic rights stand for on a file, so that a deny of
// generic write also takes away the specific write rights it covers.
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

bool trusted(const std::string &sid, const std::string &alsoTrusted) {
  return oneOf(sid, std::begin(kTrusted), std::end(kTrusted)) ||
         (!alsoTrusted.empty() && sid == alsoTrusted);
}

// A "\\?\" (or "\\.\") before a drive letter is no part of the path.
std::string withoutDrivePrefix(const std::string &path) {
  bool prefixed = path.size() >= 6 && path[0] == '\\' && path[1] == '\\' &&
                  (path[2] == '?' || path[2] == '.') && path[3] == '\\' && path[5] == ':';
  return prefixed ? path.substr(4) : path;
}

bool onDriveLetter(const std::string &path) {
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// "X:\" for a drive's root, else the path without separators at its end
// (a quoted "C:\FAH\" would end in an escaped quote).
std::string trimmed(const std::string &path) {
  std::string result = withoutDrivePrefix(path);
  if (onDriveLetter(result)) // repeated separators name no folder
    result.erase(std::unique(result.begin(), result.end(),
                             [](char a, char b) { return a == '\\' && b == '\\'; }),
                 result.end());
  while (result.size() > 1 && result.back() == '\\')
    result.pop_back();
  if (onDriveLetter(result) && result.size() == 2)
    result += '\\';
  return result;
}

} // namespace

std::optional<Changer> untrustedChanger(const ObjectSecurity &security,
                                        const std::string &alsoTrusted, Role role) {
  if (!security.owner.empty() && !trusted(security.owner, alsoTrusted))
    return Changer{Changer::Why::Owner, security.owner};
  if (!security.hasDacl)
    return Changer{Changer::Why::NoAccessList, kEveryone};
  // The system reads entries in order: a right denied before it is allowed
  // stays denied. Only a deny for the same account or for Everyone surely
  // covers every member of an account; any other deny is not counted.
  for (size_t i = 0; i < security.dacl.size(); ++i) {
    const AccessEntry &allow = security.dacl[i];
    if (allow.type != AccessEntry::Type::Allow || allow.inheritOnly ||
        trusted(allow.sid, alsoTrusted) ||
        oneOf(allow.sid, std::begin(kStandIns), std::end(kStandIns)))
      continue;
    std::uint32_t denied = 0;
    for (size_t j = 0; j < i; ++j) {
      const AccessEntry &deny = security.dacl[j];
      if (deny.type == AccessEntry::Type::Deny && !deny.inheritOnly &&
          (deny.sid == allow.sid || deny.sid == kEveryone))
        denied |= expanded(deny.mask);
    }
    if (expanded(allow.mask) & (role == Role::Program ? kChanging : kChangingAbove) & ~denied)
      return Changer{Changer::Why::Rights, allow.sid};
  }
  return std::nullopt;
}

std::string fixLine(const std::string &path, bool directory, const Changer &changer,
                    const std::string &installerSid) {
  const std::string target = trimmed(path);
  if (onDriveLetter(target) && target.size() == 3)
    return "use a folder on another drive, such as under C:\\Program Files; the permissions of "
           "a drive's root are not changed here";
  // Taking the rights from one's own account would lock it out of a folder
  // of its profile (Downloads, Desktop).
  if (!installerSid.empty() && changer.sid == installerSid)
    return "use a folder only administrators can change, such as one under C:\\Program Files";
  // Taking ownership of a file would approve whatever its owner put in it.
  if (changer.why == Changer::Why::Owner && !directory)
    return "replace \"" + target +
           "\" with a trusted copy: delete it, then copy it there again as an administrator";
  std::string command = "icacls \"" + target + "\"";
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

std::vector<std::string> pathAndFoldersAbove(const std::string &path) {
  std::vector<std::string> chain{trimmed(path)};
  if (!onDriveLetter(chain.front()))
    return chain;
  for (;;) {
    const std::string &last = chain.back();
    size_t cut = last.find_last_of('\\');
    if (last.size() <= 3 || cut == std::string::npos)
      return chain;
    std::string above = trimmed(last.substr(0, cut + 1));
    if (above == last)
      return chain;
    chain.push_back(above);
  }
}

std::string foreignPlace(const std::string &path, unsigned driveType, const std::string &device) {
  const std::string local = withoutDrivePrefix(path);
  if (local.rfind("\\\\?\\UNC\\", 0) == 0 ||
      (local.rfind("\\\\", 0) == 0 && local[2] != '?' && local[2] != '.'))
    return "is on a network share, whose administrators decide what it holds";
  if (!onDriveLetter(local))
    return local.rfind("\\\\", 0) == 0 ? "is not on a drive letter" : "";
  if (driveType == kDriveRemote)
    return "is on a network drive, which the service does not see";
  // subst's drives lead to a folder ("\\??\\C:\\dir"), a volume's to a device.
  if (device.rfind("\\??\\", 0) == 0)
    return "is on a subst drive, which the service does not see";
  return "";
}
