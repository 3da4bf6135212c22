#include "install/client_parameters.h"

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
