// Which rights each service manager operation asks for: exactly what its
// calls use. Reading a service's status, configuration or dependents then
// works for any local user, an administrator at a non-elevated prompt too;
// only changing a service needs an elevated one.
#pragma once

#include "common/system_numbers.h"

#include <cstdint>

enum class ServiceOperation {
  Create,
  Delete,
  Start,
  Stop,
  Reload,
  QueryStatus,
  QueryConfig,
  ListDependents,
  ChangeConfig
};

struct ServiceAccess {
  std::uint32_t manager; // 0: connect only (always granted)
  std::uint32_t service; // for Create: the rights on the new service's handle
};

constexpr ServiceAccess accessFor(ServiceOperation operation) {
  switch (operation) {
  case ServiceOperation::Create: // describes and starts what it made
    return {rights::kManagerCreateService,
            rights::kStandardRequired | rights::kChangeConfig | rights::kStart};
  case ServiceOperation::Delete: // marks it, looks at its status, stops it
    return {0, rights::kDelete | rights::kQueryStatus | rights::kStop};
  case ServiceOperation::Start:
    return {0, rights::kStart};
  case ServiceOperation::Stop:
    return {0, rights::kStop};
  case ServiceOperation::Reload: // a paramchange
    return {0, rights::kPauseContinue};
  case ServiceOperation::QueryStatus:
    return {0, rights::kQueryStatus};
  case ServiceOperation::QueryConfig:
    return {0, rights::kQueryConfig};
  case ServiceOperation::ListDependents:
    return {0, rights::kEnumerateDependents};
  case ServiceOperation::ChangeConfig: // recovery options that restart it need start too
    return {0, rights::kChangeConfig | rights::kStart};
  }
  return {0, 0};
}
