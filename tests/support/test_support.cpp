// The tests' layer over the harness; see test_support.h.
#include "support/test_support.h"

::testing::AssertionResult AsAssertion(const Outcome &outcome)
{
    if (outcome)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << outcome.why;
}

TestBed::TestBed(std::initializer_list<std::string> entries, PluginFolder::Contents contents)
    : scratch(entries), plugins(contents)
{
}

HostInstance &TestBed::Start(std::vector<std::string> options)
{
    options.push_back(plugins.HostOption());
    hosts.emplace_back(new HostInstance(options));
    return *hosts.back();
}

::testing::AssertionResult TestBed::Ready() const
{
    std::string missing;
    if (!scratch.ok())
        missing += "scratch folder: " + scratch.error + "\n";
    if (!plugins.ok())
        missing += "plug-in folder: " + plugins.error + "\n";
    for (const auto &host : hosts) {
        if (!host->ok())
            missing += "host: " + host->error + "\n";
    }
    if (missing.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << missing;
}
