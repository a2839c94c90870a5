// Where the harness tells of failed set-up steps; see outcome.h.
#include "harness/outcome.h"

namespace {

FailureSink sink = nullptr;

}  // namespace

void SetFailureSink(FailureSink newSink)
{
    sink = newSink;
}

void ReportFailure(const std::string &what)
{
    if (sink != nullptr)
        sink(what);
}
