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

// True while a requester run of this process waits: in its sends, in the chooser's menu, in the host's
// copy. Messages are taken meanwhile, and a command posted while the menu is open finds hwndMain active
// and in the foreground; that call must not start a second run over the first one's hooks.
bool requesterRunning;

// Whether the user chose the command in this instance, rather than another instance asking it for its
// paths; each of the three is needed:
// - its main window is its thread's active window: else one of its other windows is active (a tool
//   window, a dialog), where the user did not choose our command;
// - and the foreground window: every thread keeps an active window of its own, so an instance started
//   or left in the background, or one its deactivation reaches late, still has hwndMain active while
//   the user works in another instance; asked for its paths, it would start a copy of its own;
// - and the call does not come inside a message another thread sent: a request reaches us inside the
//   requester's send, and an instance the user clicks just as it is asked is active and in the
//   foreground by the time its host calls us.
bool UserChoseCommandHere(HWND hwndMain)
{
    return GetActiveWindow() == hwndMain && GetForegroundWindow() == hwndMain &&
           InSendMessageEx(nullptr) == ISMEX_NOSEND;
}

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
    if (!requesterRunning && UserChoseCommandHere(call.record.hwndMain)) {
        requesterRunning = true;
        RunTwoPaneCopy(call, moduleInstance);
        requesterRunning = false;
    } else {
        AnswerPathRequest(call.record);
    }
    return 1;
}
