// The tests' own layer over the harness: its steps, desktops and runs as assertions that report at the
// caller's line, and what the tests expect.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "harness/harness.h"
#include "support/expected.h"

::testing::AssertionResult AsAssertion(const Outcome &outcome);

// A desktop ready, and a run that went as expected; what failed, at the caller's line.
inline ::testing::AssertionResult Ready(const Desktop &desktop) { return AsAssertion(desktop.Ready()); }

inline ::testing::AssertionResult Runs(Desktop &desktop, const ExpectedRun &run, RunCounts *counts = nullptr)
{
    return AsAssertion(RunExpected(desktop, run, counts));
}

inline ::testing::AssertionResult RunEndedClean(const HostInstance &host) { return AsAssertion(CheckRunEnded(host)); }

// The file at path holds text (a file copied holds its own relative path in the tests' folders).
::testing::AssertionResult FileHolds(const std::string &path, const std::string &text);

// Path reports one a line, so that a list of them prints readably on failure: the bytes as delivered, a NUL
// counted in cbData shown as <NUL>, the sender by the name a test gave it.
using SenderNames = std::map<HWND, std::string>;
std::vector<std::string> DescribeReports(const std::vector<ReceivedCopyData> &reports, const SenderNames &senders);
// A report as a plug-in sends it, in that form: the text and its NUL.
std::string ExpectedReport(ULONG_PTR kind, const std::string &text, const std::string &sender);

// The text of an item of a tree view of this process; empty for none.
std::string TreeItemText(HWND tree, HTREEITEM item);
