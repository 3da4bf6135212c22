#include "host/host_parameters.h"

#include "common/unique_handle.h"

#include <iterator>
#include <vector>

namespace {

const char kAppDirectory[] = "AppDirectory";
const char kApplication[] = "Application";
const char kAppParameters[] = "AppParameters";

std::string serviceKeyPath(const std::string &service) {
  return "SYSTEM\\CurrentControlSet\\Services\\" + service;
}

Result setString(HKEY key, const char *name, const std::string &value) {
  LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
  return rc == ERROR_SUCCESS ? Result() : Result::failure(rc, "RegSetValueEx()");
}

std::string typeName(DWORD type) {
  const char *names[] = {"REG_NONE",
                         "REG_SZ",
                         "REG_EXPAND_SZ",
                         "REG_BINARY",
                         "REG_DWORD",
                         "REG_DWORD_BIG_ENDIAN",
                         "REG_LINK",
                         "REG_MULTI_SZ",
                         "REG_RESOURCE_LIST",
                         "REG_FULL_RESOURCE_DESCRIPTOR",
                         "REG_RESOURCE_REQUIREMENTS_LIST",
                         "REG_QWORD"};
  return type < std::size(names) ? names[type] : "type " + std::to_string(type);
}

// The text with the host's environment variables put in.
Expected<std::string> expanded(const char *name, const std::string &text) {
  DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  // The ANSI form may want one character more than it said.
  std::vector<char> expanded(size + 1, '\0');
  DWORD written = size ? ExpandEnvironmentStringsA(text.c_str(), expanded.data(), size + 1) : 0;
  if (written == 0 || written > size + 1) {
    DWORD error = GetLastError();
    return Result::failure(error, "ExpandEnvironmentStrings()")
        .about(std::string("value ") + name + " not expanded: error " + std::to_string(error));
  }
  return std::string(expanded.data());
}

Expected<std::string> readString(HKEY key, const char *name) {
  const char call[] = "RegQueryValueEx()";
  DWORD type = 0;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, call).about(std::string("value ") + name + " missing: error " +
                                           std::to_string(rc));
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return Result::failure(ERROR_INVALID_DATA)
        .about(std::string("value ") + name + " has type " + typeName(type) +
               ", not REG_SZ or REG_EXPAND_SZ");
  std::vector<char> data(size + 1, '\0');
  rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size);
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, call).about(std::string("value ") + name + " unreadable: error " +
                                           std::to_string(rc));
  // The stored size may or may not count a terminating null.
  std::string out(data.data(), size);
  out.resize(out.find('\0') == std::string::npos ? out.size() : out.find('\0'));
  return type == REG_EXPAND_SZ ? expanded(name, out) : out;
}

} // namespace

Result writeHostParameters(const std::string &service, const HostParameters &parameters) {
  UniqueHKey serviceKey;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, serviceKeyPath(service).c_str(), 0, KEY_ALL_ACCESS,
                          serviceKey.put());
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, "RegOpenKeyEx()");
  UniqueHKey parametersKey;
  rc = RegCreateKeyExA(serviceKey.get(), kParametersKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_ALL_ACCESS, nullptr, parametersKey.put(), nullptr);
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, "RegCreateKeyEx()").about(kParametersKey);
  const std::pair<const char *, const std::string *> values[] = {
      {kAppDirectory, &parameters.directory},
      {kApplication, &parameters.application},
      {kAppParameters, &parameters.parameters}};
  for (const auto &[name, value] : values)
    if (Result set = setString(parametersKey.get(), name, *value); !set) {
      return std::move(set).about(name);
    }
  return Result();
}

Expected<HostParameters> readHostParameters(const std::string &service) {
  std::string path = serviceKeyPath(service) + "\\" + kParametersKey;
  UniqueHKey key;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put());
  if (rc != ERROR_SUCCESS)
    return Result::failure(rc, "RegOpenKeyEx()")
        .about("key " + path + " missing: error " + std::to_string(rc));
  HostParameters out;
  for (const auto &[name, value] : {std::make_pair(kAppDirectory, &out.directory),
                                    std::make_pair(kApplication, &out.application),
                                    std::make_pair(kAppParameters, &out.parameters)}) {
    Expected<std::string> read = readString(key.get(), name);
    if (!read)
      return read.result();
    *value = *read;
  }
  if (out.directory.empty() || out.application.empty())
    return Result::failure(ERROR_INVALID_DATA).about("AppDirectory or Application empty");
  return out;
}
