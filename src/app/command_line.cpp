#include "app/command_line.h"

#include <cstdio>
#include <cstring>

namespace {

// Every option once: its text, what it does, whether it takes a second
// argument, and its lines of the usage text (none for "-service", which
// only the service manager gives). Matching is exact, so no option takes
// another that begins like it ("-install" never takes "-install_fah").
struct Option {
  const char *text;
  Command command;
  bool takesArgument;
  const char *usageArgument; // shown after the option in the usage text
  const char *usage;         // its description there; null: not shown
  int moreArguments = 0;     // taken after the argument
};

constexpr Option kOptions[] = {
    {"-install", Command::Install, false, "", "Install Quorvane"},
    {"-install_fah", Command::InstallFah, true, " <configuration>",
     "Install Folding@Home as a service"},
    {"-desinstall", Command::Desinstall, false, "", "Desinstall Quorvane"},
    {"-desinstall_fah", Command::DesinstallFah, true, " <configuration>",
     "Desinstall Folding@Home as a service"},
    {"-test", Command::Test, true, "", "Test Quorvane configuration"},
    {"-hold", Command::Hold, true, " <service> running|stopped [YYYY-MM-DD HH:MM]",
     "Keep a service in a state until that time or until released", 3},
    {"-release", Command::Release, true, " <service>", "End a service's hold"},
    {"-service", Command::Service, false, "", nullptr},
};

} // namespace

Invocation parseCommandLine(int argc, const char *const argv[]) {
  Invocation result;
  if (argc < 2 || argv == nullptr || argv[1] == nullptr)
    return result;
  result.command = Command::Unknown;
  for (const Option &option : kOptions) {
    if (std::strcmp(argv[1], option.text) != 0)
      continue;
    result.command = option.command;
    if (option.takesArgument && argc >= 3 && argv[2] != nullptr)
      result.argument = argv[2];
    for (int i = 3; i < argc && i < 3 + option.moreArguments && argv[i] != nullptr; ++i)
      result.more.emplace_back(argv[i]);
    break;
  }
  return result;
}

std::string bannerText() { return "\nQuorvane v0.2\n--------------------\n\n\n"; }

std::string usageText() {
  std::string text = "Usage:\n";
  for (const Option &option : kOptions)
    if (option.usage)
      text += std::string("   Qvn ") + option.text + option.usageArgument + "\n      " +
              option.usage + "\n";
  return text + "\n";
}

void printBanner() { std::fputs(bannerText().c_str(), stdout); }
void printUsage() { std::fputs(usageText().c_str(), stdout); }
