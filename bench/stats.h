// The benchmark's clock and the statistics of its runs: medians, p90s, ratios and how they are printed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness/host_instance.h"

struct Stats {
    int runs;
    double median;
    double p90;  // nearest rank: the smallest time that at least 90 % of the runs do not exceed
    double min;
    double max;
};

Stats Summarize(std::vector<double> times);

// QueryPerformanceCounter's ticks: the machine's counter, shared by every process, so the hosts'
// HostTiming values compare with the benchmark's own (TicksMs, from the harness, takes them to ms).
LONGLONG Ticks();
double NowMs();

// One request to the platform's server and nothing else (ResetEvent: under Wine one request to the
// wineserver), the least a platform call between processes costs, taken beside the round trips.
double ServerCallMs();
// One thread started and its end seen, the thread doing nothing: what each instance the chooser asks
// at once costs it beside the request itself, taken beside the round trips.
double ThreadStartEndMs();

std::string Format(double value, int decimals = 1);
std::string Ratio(double a, double b);  // "1.23 ×"
