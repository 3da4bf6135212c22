#include "host/command_line.h"

std::string buildCommandLine(const std::string &application, const std::string &parameters) {
  return "\"" + application + "\" " + parameters;
}
