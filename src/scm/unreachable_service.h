// What a service operation answers when it cannot reach its service: the
// manager refused the connection, or the named service could not be opened.
// Free of system headers so the decision is unit-tested on every platform.
#pragma once

enum class ServiceOperation { Create, Delete, Start, Stop };

struct UnreachableAnswer {
  bool result;            // what the operation returns
  const char *logContext; // context to log the failure under, or null for none
};

// The system's code for "the named service does not exist".
constexpr unsigned long kErrorServiceDoesNotExist = 1060;

// The manager could not be opened; openManager has logged that already.
UnreachableAnswer answerWithoutManager(ServiceOperation op);
// Opening the named service failed with the system's errorCode.
UnreachableAnswer answerServiceNotOpened(ServiceOperation op, unsigned long errorCode);
