// Under Wine every process may open the local service control manager, so
// the "manager refused" road of the connection is proven here.
#include "scm/unreachable_service.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr unsigned long kAccessDenied = 5;

std::string context(const UnreachableAnswer &a) { return a.logContext ? a.logContext : "(none)"; }

TEST(UnreachableService, NoManagerFailsEveryOperationWithoutAFurtherLogLine) {
  for (ServiceOperation op : {ServiceOperation::Create, ServiceOperation::Delete,
                              ServiceOperation::Start, ServiceOperation::Stop}) {
    UnreachableAnswer a = answerWithoutManager(op);
    EXPECT_FALSE(a.result) << static_cast<int>(op);
    EXPECT_EQ(context(a), "(none)") << static_cast<int>(op);
  }
}

TEST(UnreachableService, StartAndStopFailAndLogAnyOpenFailure) {
  for (ServiceOperation op : {ServiceOperation::Start, ServiceOperation::Stop}) {
    for (unsigned long code : {kErrorServiceDoesNotExist, kAccessDenied}) {
      UnreachableAnswer a = answerServiceNotOpened(op, code);
      EXPECT_FALSE(a.result) << static_cast<int>(op) << " " << code;
      EXPECT_EQ(context(a), "OpenService") << static_cast<int>(op) << " " << code;
    }
  }
}

TEST(UnreachableService, DeleteOfAMissingServiceSucceedsSilentlyButOtherOpenFailuresFail) {
  UnreachableAnswer missing = answerServiceNotOpened(ServiceOperation::Delete, 1060);
  EXPECT_TRUE(missing.result);
  EXPECT_EQ(context(missing), "(none)");

  UnreachableAnswer denied = answerServiceNotOpened(ServiceOperation::Delete, kAccessDenied);
  EXPECT_FALSE(denied.result);
  EXPECT_EQ(context(denied), "OpenService");
}

} // namespace
