#include "install/binary_guard.h"

#include "common/unique_handle.h"
#include "log/diagnostic_log.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
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

// The account this installer runs as: an administrator, since it can
// register services.
std::string installerSid() {
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

bool onlyTrustedCanChange(const std::vector<std::string> &paths, const char *consequence,
                          const char *indent) {
  const std::string installer = installerSid();
  for (const std::string &path : paths) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
      continue;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD rc = GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                     nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (rc != ERROR_SUCCESS) {
      g_log.writeError("GetNamedSecurityInfo()", rc);
      std::printf("%sUnable to read the security of %s, %s\n", indent, path.c_str(),
                  g_log.seeLog().c_str());
      return false;
    }
    ObjectSecurity security = objectSecurityOf(descriptor);
    LocalFree(descriptor);
    if (std::optional<Changer> changer = untrustedChanger(security, installer)) {
      bool directory =
          attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
      std::printf("%s%s can be changed by %s: %s\n", indent, path.c_str(),
                  accountName(changer->sid).c_str(), consequence);
      std::printf("%sFix: %s\n", indent, icaclsFix(path, directory, *changer).c_str());
      return false;
    }
  }
  return true;
}
