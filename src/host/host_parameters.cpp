#include "host/host_parameters.h"

#include "common/unique_handle.h"
#include "host/host_trace.h"

#include <vector>

namespace {

bool readString(HKEY key, const std::string &service, const char *name, std::string &out) {
  DWORD type = 0;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    hostFailure(service, std::string("value ") + name + " missing", rc);
    return false;
  }
  std::vector<char> data(size + 1, '\0');
  rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size);
  if (rc != ERROR_SUCCESS) {
    hostFailure(service, std::string("value ") + name + " unreadable", rc);
    return false;
  }
  // The stored size may or may not count a terminating null.
  out.assign(data.data(), size);
  out.resize(out.find('\0') == std::string::npos ? out.size() : out.find('\0'));
  return true;
}

} // namespace

bool readHostParameters(const std::string &service, HostParameters &out) {
  std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + service + "\\Parameters";
  UniqueHKey key;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put());
  if (rc != ERROR_SUCCESS) {
    hostFailure(service, "key " + path + " missing", rc);
    return false;
  }
  if (!readString(key.get(), service, "AppDirectory", out.directory) ||
      !readString(key.get(), service, "Application", out.application) ||
      !readString(key.get(), service, "AppParameters", out.parameters))
    return false;
  if (out.directory.empty() || out.application.empty()) {
    hostFailure(service, "AppDirectory or Application empty");
    return false;
  }
  return true;
}
