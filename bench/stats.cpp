// The benchmark's clock and statistics; see stats.h.
#include "stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Stats Summarize(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    if (n == 0)
        return {0, NAN, NAN, NAN, NAN};
    double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    size_t rank = static_cast<size_t>(std::ceil(0.9 * n));
    return {int(n), median, times[rank - 1], times.front(), times.back()};
}

LONGLONG Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double NowMs()
{
    return TicksMs(Ticks());
}

double ServerCallMs()
{
    static HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    double start = NowMs();
    ResetEvent(event);
    return NowMs() - start;
}

namespace {
DWORD WINAPI DoNothing(void *)
{
    return 0;
}
}  // namespace

double ThreadStartEndMs()
{
    double start = NowMs();
    HANDLE thread = CreateThread(nullptr, 64 * 1024, DoNothing, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    return NowMs() - start;
}

std::string Format(double value, int decimals)
{
    char text[32];
    snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Ratio(double a, double b)
{
    return Format(a / b, 2) + " ×";
}
