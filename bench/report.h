// The benchmark's report: the Markdown tables of every measure and of the targets, and the data of the
// chooser chart that bench/chooser.gp draws.
#pragma once

#include <string>

#include "measures.h"
#include "targets.h"

std::string MarkdownReport(const Results &results, const Verdict (&verdicts)[kTargetCount]);
std::string ChooserData(const Results &results);
