// The library's boundary: process attach, the self-description the host reads, and the choice of role
// on each call.
#include "plugin/exports.h"

#include "common/host_record.h"
#include "copy/copy_run.h"
#include "link/path_exchange.h"
#include "vorpan_version.h"

namespace {

const char kDescription[] = "コピー先を前回アクティブだった「RiloFile2」のパスにします。\n" VORPAN_MENU_LABEL;
const char kCopyright[] = "Copyright (C) 2026 VORPAN project";
const WORD kPluginVersion = VORPAN_VERSION_NUMBER;
// What the host's plug-in interface expects GetFunctionInfo to return; it gives the value no other
// meaning.
const int kFunctionInfoResult = 3;

// The library itself: the settings dialog's resources are here.
HINSTANCE moduleInstance;

// True while a requester run of this process is waiting inside SendMessageA. Another instance may ask
// us for our paths then, while GetActiveWindow() still gives hwndMain; that call must not start a
// second run over the first one's hooks.
bool requesterRunning;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        moduleInstance = instance;
    return TRUE;
}

// The host passes buffers without sizes; the texts are fixed and short.
extern "C" int WINAPI GetFunctionInfo(char *description, char *copyright, WORD *version)
{
    lstrcpyA(description, kDescription);
    lstrcpyA(copyright, kCopyright);
    *version = kPluginVersion;
    return kFunctionInfoResult;
}

extern "C" int WINAPI DoProcess(HostRecord *record)
{
    RecordCopy call;
    CopyHostRecord(*record, &call);
    if (!requesterRunning && GetActiveWindow() == call.record.hwndMain) {
        requesterRunning = true;
        RunTwoPaneCopy(call.record, moduleInstance);
        requesterRunning = false;
    } else {
        AnswerPathRequest(call.record);
    }
    return 1;
}
