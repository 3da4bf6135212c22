// The system error codes that portable decisions look at, with the values
// the system headers give them (checked where both are seen).
#pragma once

#include <cstdint>

namespace syserr {
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kDependentServicesRunning = 1051;
constexpr std::uint32_t kInvalidServiceControl = 1052;
constexpr std::uint32_t kServiceDatabaseLocked = 1055;
constexpr std::uint32_t kServiceAlreadyRunning = 1056;
constexpr std::uint32_t kServiceDoesNotExist = 1060;
constexpr std::uint32_t kServiceCannotAcceptControl = 1061;
constexpr std::uint32_t kServiceNotActive = 1062;
} // namespace syserr
