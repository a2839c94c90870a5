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

// Set-up steps (a scratch folder, a copied plug-in, a host process) also keep what failed in the error
// field of their object; besides, each failure is told here, so that a test program, which installs a
// sink that fails the running test, cannot overlook one it did not check. Without a sink it is only kept.
// Only ever from the thread that drives the program's steps: a step on another thread (a busy instance's,
// say) keeps what failed for that thread to read and tell, where the failure lands at the caller's line.
using FailureSink = void (*)(const std::string &what);
void SetFailureSink(FailureSink sink);
void ReportFailure(const std::string &what);
