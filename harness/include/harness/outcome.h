// What a step of the harness came to, as plain values any program can print: the tests turn them into
// their own assertions, the soak counts them, the demo and the benchmark say them.
#pragma once

#include <string>

struct Outcome {
    bool ok = true;
    std::string why;  // what went wrong; empty when ok

    explicit operator bool() const { return ok; }
    static Outcome Ok() { return {}; }
    static Outcome Failed(const std::string &why) { return {false, why}; }
};

// Set-up steps keep what failed in their object's error field and tell it here too, so that a test program,
// whose sink fails the running test, cannot overlook one it did not check. Only from the thread that drives
// the steps: a step on another thread keeps what failed for that thread to tell at the caller's line.
using FailureSink = void (*)(const std::string &what);
inline FailureSink failureSink = nullptr;  // none: a failure is only kept
inline void SetFailureSink(FailureSink sink) { failureSink = sink; }
inline void ReportFailure(const std::string &what)
{
    if (failureSink != nullptr)
        failureSink(what);
}
