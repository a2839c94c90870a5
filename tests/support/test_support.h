// The tests' own layer over the harness: its steps as assertions that report at the caller's line, the
// opening every cross-process test shares, and what the tests expect.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
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

inline ::testing::AssertionResult CopyThroughFilledDialog(const HostInstance &source, HWND target,
                                                          const std::string &folder)
{
    return AsAssertion(CopyThroughFilled(source, target, folder));
}

inline ::testing::AssertionResult ChooseFromMenu(const HostInstance &requester, const std::vector<BYTE> &keys)
{
    return AsAssertion(TypeIntoChooser(requester, keys));
}

// A scratch folder with entries, a plug-in folder, and the stand-in hosts started on them in the order
// Start is called. Everything a test makes after it ends before the hosts, and the hosts before their
// folders are removed.
class TestBed {
public:
    explicit TestBed(std::initializer_list<std::string> entries = {},
                     PluginFolder::Contents contents = PluginFolder::kVorpanOnly);

    // A host with options and this bed's plug-in folder.
    HostInstance &Start(std::vector<std::string> options);
    // Every folder made and every host started; otherwise what was not.
    ::testing::AssertionResult Ready() const;
    std::string Path(const std::string &relative) const { return scratch.Path(relative); }

    ScratchFolder scratch;
    PluginFolder plugins;
    std::vector<std::unique_ptr<HostInstance>> hosts;
};
