// The installer file's lists: which configuration to work on, and the
// client service names a configuration lists.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The given name, or else the first key of a section key listing (names
// separated by null characters). Empty when there is none.
std::string chooseConfigurationName(const std::optional<std::string> &given,
                                    const std::string &keyListing);

// Splits a list at ","; blanks and tabs around each name are dropped and
// empty names skipped, so "a,,b" and "a, b" both name a and b.
std::vector<std::string> splitServiceList(const std::string &list);
