#include "install/client_registry.h"

#include "common/unique_handle.h"
#include "log/diagnostic_log.h"

#include <cstdio>

namespace {

bool setString(HKEY key, const char *name, const std::string &value) {
  LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
  if (rc != ERROR_SUCCESS) {
    g_log.writeError("RegSetValueEx()", rc);
    std::printf("  Unable to create value %s in Registry\n", name);
    return false;
  }
  return true;
}

} // namespace

bool writeClientParameters(const std::string &service, const std::string &directory,
                           const std::string &application, const std::string &parameters) {
  std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + service;
  UniqueHKey serviceKey;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, serviceKey.put());
  if (rc != ERROR_SUCCESS) {
    g_log.writeError("RegOpenKeyEx()", rc);
    std::printf("  Unable to configure service in Registry\n");
    return false;
  }
  UniqueHKey parametersKey;
  rc = RegCreateKeyExA(serviceKey.get(), "Parameters", 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_ALL_ACCESS, nullptr, parametersKey.put(), nullptr);
  if (rc != ERROR_SUCCESS) {
    g_log.writeError("RegCreateKeyEx()", rc);
    std::printf("  Unable to create Parameters key in Registry\n");
    return false;
  }
  return setString(parametersKey.get(), "AppDirectory", directory) &&
         setString(parametersKey.get(), "Application", application) &&
         setString(parametersKey.get(), "AppParameters", parameters);
}
