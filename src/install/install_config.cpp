#include "install/install_config.h"

#include "common/text.h"
#include "config/ini_file.h"

namespace {

std::string valueIn(const IniFile &file, const std::string &section, const char *key,
                    const std::string &fallback) {
  const IniSection *found = file.section(section);
  return found ? found->value(key, fallback) : fallback;
}

// Read from "General" with fallback as the default, then from the service's
// section with that as the default.
std::string generalThenSection(const IniFile &file, const std::string &service, const char *key,
                               const char *fallback) {
  return valueIn(file, service, key, valueIn(file, "General", key, fallback));
}

} // namespace

std::string chooseConfigurationName(const std::optional<std::string> &given, const IniFile &file) {
  if (given)
    return *given;
  const IniSection *configurations = file.section("Configurations");
  return configurations && !configurations->keys.empty() ? configurations->keys.front() : "";
}

std::vector<std::string> splitServiceList(const std::string &list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos)
      end = list.size();
    std::string_view name = trimBlanks(std::string_view(list).substr(start, end - start));
    if (!name.empty())
      names.emplace_back(name);
    start = end + 1;
  }
  return names;
}

std::vector<std::string> configurationServices(const IniFile &file,
                                               const std::string &configuration) {
  return splitServiceList(valueIn(file, "Configurations", configuration.c_str(), ""));
}

ClientSettings clientSettings(const IniFile &file, const std::string &service) {
  ClientSettings settings;
  settings.directory = valueIn(file, service, "Directory", "");
  settings.executable = generalThenSection(file, service, "ExecutableName", "");
  settings.forceAsm = isFlagSet(generalThenSection(file, service, "UseForceAsm", "n"));
  settings.advMethods = isFlagSet(generalThenSection(file, service, "UseAdvMethods", "n"));
  settings.useBeta = generalThenSection(file, service, "UseBeta", "");
  settings.verbosity = generalThenSection(file, service, "Verbosity", "");
  settings.description = generalThenSection(file, service, "Description", "");
  settings.display = valueIn(file, service, "Display", "");
  if (settings.display.empty())
    settings.display = service;
  return settings;
}

std::string buildAppParameters(const ClientSettings &settings) {
  std::string parameters = "-service -local";
  if (settings.forceAsm)
    parameters += " -forceasm";
  if (settings.advMethods)
    parameters += " -advmethods";
  if (isFlagSet(settings.useBeta))
    parameters += " -betateam";
  if (!settings.verbosity.empty())
    parameters += " -verbosity " + settings.verbosity;
  return parameters;
}

namespace {

std::string programOfBinaryPath(const std::string &binaryPath) {
  if (!binaryPath.empty() && binaryPath[0] == '"')
    return binaryPath.substr(1, binaryPath.find('"', 1) - 1);
  // Unquoted, the first ".exe" followed by a blank or the end closes the
  // program; a path without one is the program as a whole.
  std::string lower = lowerCase(binaryPath);
  for (size_t at = lower.find(".exe"); at != std::string::npos; at = lower.find(".exe", at + 1)) {
    size_t end = at + 4;
    if (end == lower.size() || lower[end] == ' ' || lower[end] == '\t')
      return binaryPath.substr(0, end);
  }
  return binaryPath;
}

} // namespace

bool isHostedByServiceHost(const std::string &binaryPath) {
  static const std::string kHostName = "\\srvany.exe";
  std::string program = lowerCase(programOfBinaryPath(binaryPath));
  return program.size() >= kHostName.size() &&
         program.compare(program.size() - kHostName.size(), kHostName.size(), kHostName) == 0;
}
