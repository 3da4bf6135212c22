// The command line: the banner every run prints, the options with their
// usage text, and which role or operation the first argument asks for.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class Command {
  Install,       // "-install"
  InstallFah,    // "-install_fah" [configuration]
  Desinstall,    // "-desinstall"
  DesinstallFah, // "-desinstall_fah" [configuration]
  Test,          // "-test" [schedule file]
  Service,       // "-service"
  Hold,          // "-hold" <service> running|stopped [YYYY-MM-DD HH:MM]
  Release,       // "-release" <service>
  Unknown,       // anything else: usage, exit code 0
  Missing,       // no argument at all: usage, exit code 1
};

struct Invocation {
  Command command = Command::Missing;
  // The second argument, for an option that takes one: the configuration
  // of "-install_fah" / "-desinstall_fah", the schedule file of "-test".
  std::optional<std::string> argument;
  // The arguments after it, for an option that takes more ("-hold").
  std::vector<std::string> more;
};

// Matches argv[1] against the options, whole and case-sensitive. Arguments
// beyond those an option takes are ignored.
Invocation parseCommandLine(int argc, const char *const argv[]);

// The banner and the usage text, built from the options.
std::string bannerText();
std::string usageText();
void printBanner();
void printUsage();
