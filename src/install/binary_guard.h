// Refusing to run, as LocalSystem, what ordinary users could replace: reads
// the owner and access list of each path, of the folders above it and of
// any link on the way, and says who can change it and how to fix it.
#pragma once

#include "common/result.h"
#include "install/change_access.h"

#include <optional>
#include <string>
#include <vector>

// The owner and access list of a security descriptor (PSECURITY_DESCRIPTOR).
ObjectSecurity objectSecurityOf(const void *descriptor);

// The first reason found, from each drive's root down, why an account other
// than SYSTEM, Administrators and TrustedInstaller (and, under Wine only,
// the one account Wine shows for every file) can change the files, their
// folders or the folders above them; none when there is none. A path that
// does not exist is skipped; one whose security cannot be read is refused.
std::optional<Refusal> untrustedPlace(const std::vector<std::string> &files);

// The problem as the console shows it: a failed call's system text after it.
std::string problemShown(const Refusal &refusal);
// The problem as the services say it: a failed call logged, and pointed to.
std::string problemLogged(const Refusal &refusal);

// True when untrustedPlace finds nothing. Otherwise prints, after indent,
// "<path> can be changed by <account>: <consequence>" (or the other
// reason, as problemLogged says it) and the fix line, and returns false.
bool onlyTrustedCanChange(const std::vector<std::string> &files, const char *consequence,
                          const char *indent);
