// A short soak: runs of every kind in a row on four stand-in hosts, after which no host may hold more than before
// (handles, windows, a foreign window procedure) and no process may hold the named event of earlier versions. A user
// keeps the host open for days; what one run leaks, thousands of runs pile up.
#include <gtest/gtest.h>

#include "soak_run.h"

namespace {

TEST(Soak, FiftyRunsLeaveNothingBehind)
{
    SoakResult result = RunSoak({28, 12, 10});
    EXPECT_TRUE(result.Held()) << result.Table() << result.Summary();
}

}  // namespace
