// Which rights each service manager operation asks for: exactly what its
// calls use. Reading a service's status, configuration or dependents then
// works for any local user, an administrator at a non-elevated prompt too;
// only changing a service needs an elevated one.
#pragma once

#include <cstdint>

// Rights as the system numbers them (checked against its headers where
// both are seen).
namespace rights {
constexpr std::uint32_t kManagerConnect = 0x1;
constexpr std::uint32_t kManagerCreateService = 0x2;
constexpr std::uint32_t kManagerEnumerate = 0x4;
constexpr std::uint32_t kQueryConfig = 0x1;
constexpr std::uint32_t kChangeConfig = 0x2;
constexpr std::uint32_t kQueryStatus = 0x4;
constexpr std::uint32_t kEnumerateDependents = 0x8;
constexpr std::uint32_t kStart = 0x10;
constexpr std::uint32_t kStop = 0x20;
constexpr std::uint32_t kInterrogate = 0x80;
constexpr std::uint32_t kUserDefinedControl = 0x100;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kReadControl = 0x20000;
constexpr std::uint32_t kStandardRequired = 0xF0000; // delete, read/write security, take ownership
} // namespace rights

enum class ServiceOperation {
  Create,
  Delete,
  Start,
  Stop,
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
