// The stand-in host's measuring for the benchmark: the step stamps and the timed request import.
#include "timing.h"

#include <cstring>

namespace {

struct Timing {
    HostTiming record;
    LONGLONG commandAt;  // the latest plug-in command, taken into the record when its call begins
    int depth;           // plug-in calls of this host under way, nested when another instance asks
    LONGLONG treeFillStart;
} timing;

// The plug-in may ask several instances at once, each from a thread of its own: its requests enter the
// record one at a time.
SRWLOCK requestsLock = SRWLOCK_INIT;

// QueryPerformanceCounter: the machine's counter, which the benchmark reads too.
LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LRESULT WINAPI TimedSendMessageTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                                       UINT timeoutMs, PDWORD_PTR result)
{
    LONGLONG start = Now();
    LRESULT sent = SendMessageTimeoutA(hwnd, message, wParam, lParam, flags, timeoutMs, result);
    LONGLONG end = Now();
    AcquireSRWLockExclusive(&requestsLock);
    HostTiming &record = timing.record;
    if (record.requests++ == 0 || start < record.firstRequestAt)
        record.firstRequestAt = start;
    if (end > record.lastRequestEnd)
        record.lastRequestEnd = end;
    record.requestTicks += end - start;
    ReleaseSRWLockExclusive(&requestsLock);
    return sent;
}

// Points module's import of dll!name at replacement: the import table lists each DLL's function names
// and, in step with them, the addresses the loader filled in, which the module calls through.
void ReplaceImport(HMODULE module, const char *dll, const char *name, void (*replacement)())
{
    BYTE *base = reinterpret_cast<BYTE *>(module);
    const IMAGE_NT_HEADERS *headers =
        reinterpret_cast<const IMAGE_NT_HEADERS *>(base + reinterpret_cast<const IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return;
    for (auto *entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char *>(base + entry->Name), dll) != 0 || entry->OriginalFirstThunk == 0)
            continue;
        auto *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + entry->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(byName->Name), name) != 0)
                continue;
            DWORD protection;
            if (VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) {
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            }
        }
    }
}

}  // namespace

void Stamp(Step step)
{
    HostTiming &record = timing.record;
    LONGLONG now = Now();
    switch (step) {
    case Step::kPluginCommand:
        if (timing.depth == 0)
            timing.commandAt = now;
        break;
    case Step::kPluginCalled:
        if (timing.depth++ == 0) {
            record = HostTiming{};
            record.commandAt = timing.commandAt;
            record.pluginCalledAt = now;
        }
        break;
    case Step::kPluginReturned:
        if (--timing.depth == 0)
            record.pluginReturnedAt = now;
        break;
    case Step::kCopyCommand:
        record.copyCommandAt = now;
        break;
    case Step::kCopyCommandEnd:
        record.copyCommandEndAt = now;
        break;
    case Step::kDialogInit:
        record.dialogInitAt = now;
        break;
    case Step::kDialogReady:
        // Levels the dialog filled during its own set-up are the host's; only later ones were asked for.
        record.treeFillTicks = 0;
        record.dialogRetitledAt = 0;
        record.dialogShownAt = 0;
        record.dialogReadyAt = now;
        break;
    case Step::kTreeFillStart:
        timing.treeFillStart = now;
        break;
    case Step::kTreeFillEnd:
        record.treeFillTicks += now - timing.treeFillStart;
        break;
    case Step::kDialogRetitled:
        if (record.dialogRetitledAt == 0)
            record.dialogRetitledAt = now;
        break;
    case Step::kDialogShown:
        if (record.dialogShownAt == 0)
            record.dialogShownAt = now;
        break;
    }
}

void TimeRequests(HMODULE plugin)
{
    ReplaceImport(plugin, "USER32.dll", "SendMessageTimeoutA", reinterpret_cast<void (*)()>(TimedSendMessageTimeout));
}

const HostTiming *TimingRecord()
{
    return &timing.record;
}
