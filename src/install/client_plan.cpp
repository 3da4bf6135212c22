#include "install/client_plan.h"

#include "common/names.h"
#include "install/install_config.h"

ConfigurationWork planConfigurationWork(IniFile file,
                                        const std::optional<std::string> &configuration,
                                        const std::string &verb) {
  ConfigurationWork work;
  // Unusable as Windows would read it: unreadable, or a UTF-8 mark that its
  // profile functions take for part of the first line.
  if (file.state == IniFile::State::Unreadable) {
    work.lines.push_back(std::string(kInstallFile) + " cannot be read: " + file.whyUnreadable);
    return work;
  }
  if (file.utf8Mark) {
    work.lines.push_back(std::string(kInstallFile) +
                         " starts with a UTF-8 byte-order mark, which Windows does not read: "
                         "save it as ANSI or Unicode");
    return work;
  }
  std::string name = chooseConfigurationName(configuration, file);
  if (name.empty()) {
    work.lines.push_back("No configuration name found");
    return work;
  }
  work.lines.push_back(verb + " configuration " + name);
  work.services = configurationServices(file, name);
  if (work.services.empty())
    work.lines.push_back("Configuration " + name + " not found or empty in " + kInstallFile);
  work.usable = true;
  work.file = std::move(file);
  return work;
}

ClientPlan planClientService(const IniFile &file, const std::string &service,
                             const PathQueries &system) {
  ClientPlan plan;
  auto say = [&plan](const std::string &line) { plan.lines.push_back(line); };
  auto refuse = [&](const std::string &why) {
    say(why);
    plan.refused = true;
    return plan;
  };
  auto yesNo = [](bool flag) { return flag ? "yes" : "no"; };
  say(" Installing service " + service);
  ClientSettings settings = clientSettings(file, service);
  if (settings.directory.empty())
    return refuse("Directory not configured");
  // Made full now: the service does not run in this directory.
  std::optional<std::string> directory = system.fullPath(settings.directory);
  if (!directory)
    return refuse("  Error GetFullPathName");
  plan.directory = *directory;
  say("  Directory: " + plan.directory);
  if (settings.executable.empty())
    return refuse("ExecutableName not configured");
  say("  Executable: " + settings.executable);
  // Not a failure: the client may be copied there later.
  plan.application = plan.directory + "\\" + settings.executable;
  if (!system.isFile(plan.application))
    say("  Warning: " + plan.application + " not found, the service needs it to start");
  say(std::string("  Use forceasm: ") + yesNo(settings.forceAsm));
  say(std::string("  Use advmethods: ") + yesNo(settings.advMethods));
  if (!settings.useBeta.empty())
    say(std::string("  Use beta: ") + yesNo(isFlagSet(settings.useBeta)));
  if (!settings.description.empty())
    say("  Description: " + settings.description);
  plan.display = settings.display;
  plan.description = settings.description;
  plan.parameters = buildAppParameters(settings);
  return plan;
}
