#include "scm/unreachable_service.h"

// Not reaching the service is a failure of the operation: reporting success
// would hide, say, an installer run without administrator rights.
UnreachableAnswer answerWithoutManager(ServiceOperation) { return {false, nullptr}; }

UnreachableAnswer answerServiceNotOpened(ServiceOperation op, unsigned long errorCode) {
  // Removing what is not there has nothing left to do.
  if (op == ServiceOperation::Delete && errorCode == kErrorServiceDoesNotExist)
    return {true, nullptr};
  return {false, "OpenService"};
}
