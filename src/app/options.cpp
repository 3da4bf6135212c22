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
  bool takesName =
      result.command == Command::InstallFah || result.command == Command::DesinstallFah;
  if (takesName && argc >= 3 && argv[2] != nullptr)
    result.configuration = argv[2];
  return result;
}
