// The library's boundary: process attach, the self-description the host reads, and the choice of role
// on each call.
#include "plugin/exports.h"

#include "copy/copy_run.h"
#include "link/path_exchange.h"
#include "plugin/link_state.h"

namespace {

const char kDescription[] =
    "コピー先を前回アクティブだった「RiloFile2」のパスにします。\n" VORPAN_TITLE "(&C)";
const char kCopyright[] = "Copyright (C) 2026 VORPAN project";
const WORD kPluginVersion = 200;

// True while a requester run of this process is waiting inside SendMessageA. Another instance may ask
// us for our paths then, while GetActiveWindow() still gives hwndMain; that call must not start a
// second run over the first one's state.
bool requesterRunning;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        linkState.moduleInstance = instance;
    return TRUE;
}

// The host passes buffers without sizes; the texts are fixed and short.
extern "C" int WINAPI GetFunctionInfo(char *description, char *copyright, WORD *version)
{
    lstrcpyA(description, kDescription);
    lstrcpyA(copyright, kCopyright);
    *version = kPluginVersion;
    return 3;
}

extern "C" int WINAPI DoProcess(HostRecord *record)
{
    if (requesterRunning) {
        // Answer as a responder with buffers of our own: the waiting run's record, paths, saved
        // procedures and event stay exactly as they are.
        char treePath[kTreePathSize];
        AnswerPathRequest(record, treePath);
        return 1;
    }
    linkState.record = record;
    if (GetActiveWindow() == record->hwndMain) {
        requesterRunning = true;
        RunTwoPaneCopy();
        requesterRunning = false;
    } else {
        AnswerPathRequest(record, linkState.treePath);
    }
    return 1;
}
