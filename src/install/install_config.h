// The installer file ".\Qvn_install.ini" read into what to register: which
// configuration, the client services it lists, and each one's settings,
// "General" giving defaults that a service's own section overrides.
#pragma once

#include "config/ini_file.h"

#include <optional>
#include <string>
#include <vector>

struct ClientSettings {
  std::string directory;  // "Directory", the service's section only; empty: not configured
  std::string executable; // "ExecutableName"; empty: not configured
  bool forceAsm = false;
  bool advMethods = false;
  std::string useBeta; // "UseBeta" as written: the console mentions it only when given
  std::string verbosity;
  std::string description;
  std::string display; // "Display", the service's section only; else the service name
};

// The given name, or else the first key of "Configurations"; empty when
// there is none.
std::string chooseConfigurationName(const std::optional<std::string> &given, const IniFile &file);

// Splits a list at ","; blanks and tabs around each name are dropped and
// empty names skipped, so "a,,b" and "a, b" both name a and b.
std::vector<std::string> splitServiceList(const std::string &list);

// The services the configuration's key of "Configurations" lists.
std::vector<std::string> configurationServices(const IniFile &file,
                                               const std::string &configuration);

ClientSettings clientSettings(const IniFile &file, const std::string &service);

// "-service -local", then " -forceasm", " -advmethods", " -betateam" and
// " -verbosity <text>" in that order, each only when set.
std::string buildAppParameters(const ClientSettings &settings);

// Whether a service's registered binary path runs our service host, so that
// removing a configuration never removes a service the installer did not
// make: the program part of binaryPath ends in "\\srvany.exe", in any case.
// The program part is the text between the surrounding double quotes, or,
// unquoted, the text up to the first ".exe" that ends a word (an older
// installer registered the host path unquoted, blanks and all).
bool isHostedByServiceHost(const std::string &binaryPath);
