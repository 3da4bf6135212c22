// The options a client service passes to its client, as read from the
// installer file, and the command-line text built from them.
#pragma once

#include <string>

struct ClientOptions {
  bool forceAsm = false;
  bool advMethods = false;
  bool beta = false;
  std::string verbosity; // empty: no verbosity option
};

// "-service -local", then " -forceasm", " -advmethods", " -betateam" and
// " -verbosity <text>" in that order, each only when set.
std::string buildAppParameters(const ClientOptions &options);
