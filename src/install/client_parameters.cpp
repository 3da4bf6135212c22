#include "install/client_parameters.h"

bool isFlagSet(const std::string &value) { return value == "y"; }

std::string buildAppParameters(const ClientOptions &options) {
  std::string parameters = "-service -local";
  if (options.forceAsm)
    parameters += " -forceasm";
  if (options.advMethods)
    parameters += " -advmethods";
  if (options.beta)
    parameters += " -betateam";
  if (!options.verbosity.empty())
    parameters += " -verbosity " + options.verbosity;
  return parameters;
}
