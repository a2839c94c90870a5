// Inside the soak: what a host process holds at one moment, and the leaks a result shows.
#pragma once

#include "harness/host_instance.h"
#include "soak_run.h"

HostHoldings Holdings(const HostInstance &host);
// Fills result.leaks from its hosts' rows and its event: what grew beyond its allowance or stayed behind.
void FindLeaks(SoakResult &result);
