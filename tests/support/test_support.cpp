// The tests' layer over the harness; see test_support.h.
#include "support/test_support.h"

::testing::AssertionResult AsAssertion(const Outcome &outcome)
{
    if (outcome)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << outcome.why;
}
