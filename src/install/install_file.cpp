#include "install/install_file.h"

#include <windows.h>

namespace {

const char kInstallFile[] = ".\\Qvn_install.ini";
constexpr DWORD kValueBuffer = 2048;

} // namespace

std::string readInstallValue(const std::string &section, const char *key, const std::string &def) {
  char buffer[kValueBuffer];
  DWORD n = GetPrivateProfileStringA(section.c_str(), key, def.c_str(), buffer, kValueBuffer,
                                     kInstallFile);
  return std::string(buffer, n);
}

std::string readInstallKeys(const char *section) {
  char buffer[kValueBuffer];
  DWORD n = GetPrivateProfileStringA(section, nullptr, "", buffer, kValueBuffer, kInstallFile);
  return std::string(buffer, n);
}

std::string readGeneralThenSection(const std::string &section, const char *key, const char *def) {
  return readInstallValue(section, key, readInstallValue("General", key, def));
}
