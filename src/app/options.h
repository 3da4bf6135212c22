// The command line: which role or operation the first argument asks for.
#pragma once

#include <optional>
#include <string>

enum class Command {
  Install,       // "-install"
  InstallFah,    // "-install_fah" [configuration]
  Desinstall,    // "-desinstall"
  DesinstallFah, // "-desinstall_fah" [configuration]
  Test,          // "-test" [schedule file]
  Service,       // "-service"
  Unknown,       // anything else: usage, exit code 0
  Missing,       // no argument at all: usage, exit code 1
};

struct Invocation {
  Command command = Command::Missing;
  // The configuration name of "-install_fah" / "-desinstall_fah", when given.
  std::optional<std::string> configuration;
  // The schedule file "-test" reads instead of the Windows directory's, when given.
  std::optional<std::string> scheduleFile;
};

// Matches argv[1] against the options in table order, whole and
// case-sensitive. Arguments beyond those an option takes are ignored.
Invocation parseCommandLine(int argc, const char *const argv[]);
