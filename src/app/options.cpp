#include "app/options.h"

#include <cstring>

namespace {

struct Option {
  const char *text;
  Command command;
};

// Order matters only for documentation: matching is exact, so no option is
// a prefix match of another ("-install" never takes "-install_fah").
constexpr Option kOptions[] = {
    {"-install", Command::Install},
    {"-install_fah", Command::InstallFah},
    {"-desinstall", Command::Desinstall},
    {"-desinstall_fah", Command::DesinstallFah},
    {"-test", Command::Test},
    {"-service", Command::Service},
};

} // namespace

Invocation parseCommandLine(int argc, const char *const argv[]) {
  Invocation result;
  if (argc < 2 || argv == nullptr || argv[1] == nullptr)
    return result;
  result.command = Command::Unknown;
  for (const Option &option : kOptions) {
    if (std::strcmp(argv[1], option.text) == 0) {
      result.command = option.command;
      break;
    }
  }
  if (argc < 3 || argv[2] == nullptr)
    return result;
  if (result.command == Command::InstallFah || result.command == Command::DesinstallFah)
    result.configuration = argv[2];
  else if (result.command == Command::Test)
    result.scheduleFile = argv[2];
  return result;
}
