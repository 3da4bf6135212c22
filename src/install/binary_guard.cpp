#include "install/binary_guard.h"

#include "common/unique_handle.h"
#include "install/install_files.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {

std::string sidText(PSID sid) {
  char *text = nullptr;
  if (!sid || !ConvertSidToStringSidA(sid, &text))
    return "";
  std::string result(text);
  LocalFree(text);
  return result;
}

// The account this program runs as.
std::string tokenUserSid() {
  UniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
    return "";
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<char> buffer(size);
  if (!size || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
    return "";
  return sidText(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
}

// "DOMAIN\name" (or "name" where the domain is empty), else the SID.
std::string accountName(const std::string &sid) {
  PSID binary = nullptr;
  if (!ConvertStringSidToSidA(sid.c_str(), &binary))
    return sid;
  char name[256], domain[256];
  DWORD nameSize = sizeof(name), domainSize = sizeof(domain);
  SID_NAME_USE use;
  bool found = LookupAccountSidA(nullptr, binary, name, &nameSize, domain, &domainSize, &use);
  LocalFree(binary);
  if (!found)
    return sid;
  return domain[0] ? std::string(domain) + "\\" + name : std::string(name);
}

AccessEntry::Type entryType(BYTE aceType) {
  switch (aceType) {
  case ACCESS_ALLOWED_ACE_TYPE:
  case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
  case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
  case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
    return AccessEntry::Type::Allow; // a condition may hold: counted as granted
  case ACCESS_DENIED_ACE_TYPE:
    return AccessEntry::Type::Deny;
  default:
    return AccessEntry::Type::Other; // a conditional deny may not hold: not counted
  }
}

// The SID of an entry: after the object GUIDs the flags announce, if any.
PSID entrySid(const ACE_HEADER *header) {
  switch (header->AceType) {
  case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
  case ACCESS_DENIED_OBJECT_ACE_TYPE:
  case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
  case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: {
    auto object = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE *>(header);
    const BYTE *at = reinterpret_cast<const BYTE *>(&object->ObjectType);
    if (object->Flags & ACE_OBJECT_TYPE_PRESENT)
      at += sizeof(GUID);
    if (object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT)
      at += sizeof(GUID);
    return const_cast<BYTE *>(at);
  }
  default:
    return const_cast<DWORD *>(&reinterpret_cast<const ACCESS_ALLOWED_ACE *>(header)->SidStart);
  }
}

} // namespace

ObjectSecurity objectSecurityOf(const void *descriptor) {
  PSECURITY_DESCRIPTOR sd = const_cast<void *>(descriptor);
  ObjectSecurity security;
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  if (GetSecurityDescriptorOwner(sd, &owner, &defaulted))
    security.owner = sidText(owner);
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl) {
    security.hasDacl = false;
    return security;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void *ace = nullptr;
    if (!GetAce(dacl, i, &ace))
      continue;
    auto header = static_cast<const ACE_HEADER *>(ace);
    AccessEntry entry;
    entry.type = entryType(header->AceType);
    entry.mask = reinterpret_cast<const ACCESS_ALLOWED_ACE *>(header)->Mask;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    entry.sid = sidText(entrySid(header));
    security.dacl.push_back(entry);
  }
  return security;
}

namespace {

// Wine keeps no owner or access entry of its own: every file belongs to the
// account running it, which is then the one account trusted besides.
std::string alsoTrusted() {
  bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine ? tokenUserSid() : "";
}

// In lower case as the system lowers it (every letter of the code page).
std::string systemLowerCase(std::string text) {
  CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// "\\?\C:\x" as "C:\x", "\\?\UNC\s\x" as "\\s\x".
std::string withoutLongPrefix(const std::string &path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0)
    return "\\" + path.substr(7);
  return path.rfind("\\\\?\\", 0) == 0 && path.size() > 5 && path[5] == ':' ? path.substr(4) : path;
}

class Judge {
public:
  std::optional<Refusal> files(const std::vector<std::string> &files) {
    for (const std::string &file : files) {
      Expected<std::string> fullPath = fullPathOf(file);
      const std::string &full = fullPath ? *fullPath : file;
      // The file and its folder decide what runs; the folders above, who may
      // put another folder in their place.
      if (std::optional<Refusal> refusal = chain(full, 2))
        return refusal;
    }
    return std::nullopt;
  }

private:
  // path and the folders above it, from the root down; the first programDepth
  // of them (the path, its folder) judged as the program's own.
  std::optional<Refusal> chain(const std::string &path, size_t programDepth) {
    if (std::optional<Refusal> refusal = place(path))
      return refusal;
    std::vector<std::string> paths = pathAndFoldersAbove(path);
    for (size_t i = paths.size(); i-- > 0;)
      if (std::optional<Refusal> refusal =
              one(paths[i], i < programDepth ? Role::Program : Role::Above,
                  programDepth > i ? programDepth - i : 0))
        return refusal;
    return std::nullopt;
  }

  std::optional<Refusal> place(const std::string &path) {
    std::string device;
    unsigned type = 0;
    if (path.size() >= 2 && path[1] == ':') {
      char buffer[1024] = "";
      if (QueryDosDeviceA(path.substr(0, 2).c_str(), buffer, sizeof buffer))
        device = buffer;
      type = GetDriveTypeA((path.substr(0, 2) + "\\").c_str());
    }
    std::string why = foreignPlace(path, type, device);
    if (why.empty())
      return std::nullopt;
    return Refusal{path + " " + why,
                   "use a folder on a local drive (of a subst drive, its real path)"};
  }

  Refusal unreadable(const std::string &path, const char *call) const {
    return Refusal{"Unable to read the security of " + path, "", true,
                   Result::failure(GetLastError(), call)};
  }

  // The object itself (a link as the link: whoever may change it may point
  // it elsewhere), then where a link leads.
  std::optional<Refusal> one(const std::string &path, Role role, size_t programDepth) {
    const std::string key = systemLowerCase(path);
    auto seen = judged_.find(key);
    if (seen != judged_.end() && (seen->second == Role::Program || role == Role::Above))
      return std::nullopt;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
      return std::nullopt;
    judged_[key] = role;
    UniqueKernelHandle object(
        CreateFileA(path.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!object)
      return unreadable(path, "CreateFile()");
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD rc = GetSecurityInfo(object.get(), SE_FILE_OBJECT,
                               OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, nullptr, nullptr, &descriptor);
    if (rc != ERROR_SUCCESS) {
      SetLastError(rc);
      return unreadable(path, "GetSecurityInfo()");
    }
    ObjectSecurity security = objectSecurityOf(descriptor);
    LocalFree(descriptor);
    if (std::optional<Changer> changer = untrustedChanger(security, alsoTrusted_, role)) {
      bool directory =
          attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
      return Refusal{path + " can be changed by " + accountName(changer->sid),
                     fixLine(path, directory, *changer, installer_)};
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return std::nullopt;
    UniqueKernelHandle followed(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    char target[4096];
    DWORD n = followed ? GetFinalPathNameByHandleA(followed.get(), target, sizeof target, 0) : 0;
    if (n == 0 || n >= sizeof target)
      return unreadable(path, "GetFinalPathNameByHandle()");
    std::string leadsTo = withoutLongPrefix(std::string(target, n));
    if (systemLowerCase(leadsTo) == key)
      return std::nullopt;
    return chain(leadsTo, programDepth);
  }

  static constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const std::string alsoTrusted_ = alsoTrusted();
  const std::string installer_ = tokenUserSid();
  std::map<std::string, Role> judged_;
};

} // namespace

std::optional<Refusal> untrustedPlace(const std::vector<std::string> &files) {
  return Judge().files(files);
}

std::string problemShown(const Refusal &refusal) {
  const Result &read = refusal.securityRead;
  return read ? refusal.problem : refusal.problem + ": " + systemText(read.error());
}

std::string problemLogged(const Refusal &refusal) {
  g_log.writeFailure(refusal.securityRead);
  return refusal.securityRead ? refusal.problem : refusal.problem + ", " + g_log.seeLog();
}

bool onlyTrustedCanChange(const std::vector<std::string> &files, const char *consequence,
                          const char *indent) {
  std::optional<Refusal> refusal = untrustedPlace(files);
  if (!refusal)
    return true;
  std::string problem = problemLogged(*refusal);
  if (refusal->complete)
    std::printf("%s%s\n", indent, problem.c_str());
  else
    std::printf("%s%s: %s\n", indent, problem.c_str(), consequence);
  if (!refusal->fix.empty())
    std::printf("%sFix: %s\n", indent, refusal->fix.c_str());
  return false;
}
