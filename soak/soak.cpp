// Runs VORPAN.DLL many times in a row on stand-in hosts under Wine and says whether any host kept
// what a run took: the soak behind scripts/soak. Not a test; it prints a table and one verdict line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/console_text.h"
#include "soak_run.h"

int main(int argc, char **argv)
{
    SoakPlan plan = {1000, 200, 200};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        int *count = arg.rfind("--copies=", 0) == 0     ? &plan.copies
                     : arg.rfind("--chooser=", 0) == 0  ? &plan.chooserRuns
                     : arg.rfind("--responder=", 0) == 0 ? &plan.responderRequests
                                                         : nullptr;
        if (count == nullptr) {
            std::fprintf(stderr, "soak: unknown argument %s; usage: soak [--copies=N] [--chooser=N] [--responder=N]\n",
                         arg.c_str());
            return 2;
        }
        *count = std::atoi(arg.c_str() + arg.find('=') + 1);
    }
    // Progress to stderr, the report to stdout: the script keeps them in two files.
    SoakResult result = RunSoak(plan, [](const std::string &text) {
        std::fprintf(stderr, "soak: %s\n", text.c_str());
        std::fflush(stderr);
    });
    PrintText(result.Table() + "\n" + result.Summary() + "\n");
    return result.Held() ? 0 : 1;
}
