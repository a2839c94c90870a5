// The tests' own layer over the harness: its steps as assertions that report at the caller's line, and
// what the tests expect.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/harness.h"
#include "support/expected.h"

::testing::AssertionResult AsAssertion(const Outcome &outcome);

inline ::testing::AssertionResult RunEndedClean(const HostInstance &host)
{
    return AsAssertion(CheckRunEnded(host));
}

inline ::testing::AssertionResult ShowsFolder(const ConfirmView &view, const std::string &folder)
{
    return AsAssertion(CheckShowsFolder(view, folder));
}

inline ::testing::AssertionResult ConfirmFilledDialog(const HostInstance &source, const std::string &folder,
                                                      LRESULT callsBefore)
{
    return AsAssertion(ConfirmFilled(source, folder, callsBefore));
}

inline ::testing::AssertionResult CopyThroughFilledDialog(const HostInstance &source, HWND target,
                                                          const std::string &folder)
{
    return AsAssertion(CopyThroughFilled(source, target, folder));
}

inline ::testing::AssertionResult ChooseFromMenu(const HostInstance &requester, const std::vector<BYTE> &keys)
{
    return AsAssertion(TypeIntoChooser(requester, keys));
}
