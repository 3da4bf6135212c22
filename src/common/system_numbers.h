// The system's numbers that portable decisions need without <windows.h>:
// error codes, service controls, states and types, access rights, a drive
// type, a conversion flag and the event types, each with the value the system headers give
// it (checked against them in system_numbers.cpp, built where they are seen).
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

// Controls, power events, accepted-control bits, service types and states.
namespace scm {
constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kControlPause = 2;
constexpr std::uint32_t kControlContinue = 3;
constexpr std::uint32_t kControlInterrogate = 4;
constexpr std::uint32_t kControlShutdown = 5;
constexpr std::uint32_t kControlParamChange = 6;
constexpr std::uint32_t kControlPowerEvent = 13;
constexpr std::uint32_t kControlTimeChange = 16;

constexpr std::uint32_t kPowerResumeSuspend = 0x7;    // resumed, a user is present
constexpr std::uint32_t kPowerResumeAutomatic = 0x12; // resumed, always sent

constexpr std::uint32_t kAcceptStop = 0x1;
constexpr std::uint32_t kAcceptPauseContinue = 0x2;
constexpr std::uint32_t kAcceptShutdown = 0x4;
constexpr std::uint32_t kAcceptParamChange = 0x8;
constexpr std::uint32_t kAcceptPowerEvent = 0x40;
constexpr std::uint32_t kAcceptTimeChange = 0x200;

constexpr std::uint32_t kTypeOwnProcess = 0x10;
constexpr std::uint32_t kTypeShareProcess = 0x20;

constexpr std::uint32_t kStateStopped = 1;
constexpr std::uint32_t kStateStartPending = 2;
constexpr std::uint32_t kStateStopPending = 3;
constexpr std::uint32_t kStateRunning = 4;
constexpr std::uint32_t kStateContinuePending = 5;
constexpr std::uint32_t kStatePausePending = 6;
constexpr std::uint32_t kStatePaused = 7;
} // namespace scm

// Access rights: the service manager's and a service's, the standard ones,
// a file's and the generic ones with what they stand for on a file.
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
constexpr std::uint32_t kPauseContinue = 0x40; // also for a paramchange
constexpr std::uint32_t kInterrogate = 0x80;
constexpr std::uint32_t kUserDefinedControl = 0x100;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kReadControl = 0x20000;
constexpr std::uint32_t kWriteDac = 0x40000;
constexpr std::uint32_t kWriteOwner = 0x80000;
constexpr std::uint32_t kStandardRequired = 0xF0000; // delete, read/write security, take ownership
constexpr std::uint32_t kWriteData = 0x2;
constexpr std::uint32_t kAppendData = 0x4;
constexpr std::uint32_t kDeleteChild = 0x40;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kFileGenericWrite = 0x120116;
constexpr std::uint32_t kFileAllAccess = 0x1F01FF;
} // namespace rights

// The types of an event in the system's event log.
namespace events {
constexpr std::uint16_t kErrorType = 0x1;
constexpr std::uint16_t kWarningType = 0x2;
constexpr std::uint16_t kInformationType = 0x4;
} // namespace events

constexpr unsigned kDriveRemote = 4;        // a drive's type: a network drive
constexpr std::uint32_t kNoBestFit = 0x400; // a conversion flag: no best-fit characters
