// "Qvn -hold" and "Qvn -release": keep or end a service's hold where the
// scheduler reads it, say so in the log and the Event Log, and tell a running
// scheduler. True when the hold was stored or removed.
#pragma once

#include <optional>
#include <string>
#include <vector>

// words: the state and the optional time after the service's name.
bool holdService(const std::optional<std::string> &service, const std::vector<std::string> &words);
bool releaseService(const std::optional<std::string> &service);
