// Refusing to register a service whose program ordinary users could
// replace: reads the owner and access list of each path it runs from and
// says on the console who can change it and how to fix it.
#pragma once

#include "install/change_access.h"

#include <string>
#include <vector>

// The owner and access list of a security descriptor (PSECURITY_DESCRIPTOR).
ObjectSecurity objectSecurityOf(const void *descriptor);

// True when only trusted accounts can change each existing path (one that
// does not exist is skipped). Otherwise prints, after indent, "<path> can
// be changed by <account>: <consequence>" and the icacls line that fixes
// it, and returns false; also false when a path's security cannot be read.
bool onlyTrustedCanChange(const std::vector<std::string> &paths, const char *consequence,
                          const char *indent);
