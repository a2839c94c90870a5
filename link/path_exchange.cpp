// The path exchange between instances: the request with its report hook, and the responder's answer.
#include "link/path_exchange.h"

#include <commctrl.h>

#include "common/window.h"
#include "link/command_lookup.h"
#include "link/tree_path.h"

namespace {

// The targets asked at the moment, for the report hook: the host calls the hook, not us, so this is the
// one way it can reach their buffers. Null between requests, when the hook does nothing.
const PathRound *activeRound;

// The request's send to the target: a hung, busy-forever or vanished target must not freeze this
// instance, so the send gives up after boundMs, and at once to a target already counted as hung.
// SMTO_NORMAL, never SMTO_BLOCK: the target's reports have to reach us as messages sent back into this
// wait.
bool SendRequest(HWND target, int commandId, DWORD boundMs)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutA(target, WM_COMMAND, static_cast<WPARAM>(commandId & 0xFFFF), 0,
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, boundMs, &ignored) != 0;
}

// A report to the requester, bounded in time so that a requester that hangs cannot freeze us; false when
// the recipient did not take it in time (hung, busy or gone). Not SMTO_ABORTIFHUNG: a requester sits in
// its own sends for as long as its targets take, and once Windows counts it as hung after 5 s of that,
// every report to it would be refused at once and a healthy instance shown as a virtual folder.
bool SendPathReport(HWND recipient, HWND sender, ULONG_PTR kind, const char *text)
{
    COPYDATASTRUCT data;
    data.dwData = kind;
    data.cbData = static_cast<DWORD>(lstrlenA(text) + 1);
    data.lpData = const_cast<char *>(text);
    DWORD_PTR ignored;
    return SendMessageTimeoutA(recipient, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                               reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, kAnswerTimeoutMs, &ignored) != 0;
}

// Copies a report's text into buffer, reading no more than the cbData bytes the sender delivered and
// stopping at the first NUL among them. A text that does not fit is dropped, leaving buffer empty: a
// cut path would name another folder and send the user's files there.
void TakeReportText(const COPYDATASTRUCT *data, char *buffer, int bufferSize)
{
    buffer[0] = '\0';
    const char *text = static_cast<const char *>(data->lpData);
    if (text == nullptr)
        return;
    DWORD length = 0;
    while (length < data->cbData && text[length] != '\0')
        ++length;
    if (length + 1 > static_cast<DWORD>(bufferSize))
        return;
    for (DWORD i = 0; i < length; ++i)
        buffer[i] = text[i];
    buffer[length] = '\0';
}

// Whether target's reports are still taken: its ask has not ended.
bool StillAsked(const AskedTarget &asked)
{
    return asked.open && (asked.thread == nullptr || WaitForSingleObject(asked.thread, 0) == WAIT_TIMEOUT);
}

// The report hook's work on hwndMain: each report goes to the target that sent it (wParam names the
// sender's main window). It may be called after its round has ended, from within another module's
// subclass: then it does nothing.
void TakeReport(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const PathRound *round = activeRound;
    if (round == nullptr || hwnd != round->hwndMain || message != WM_COPYDATA || lParam == 0)
        return;
    const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
    for (int i = 0; i < round->count; ++i) {
        AskedTarget &asked = round->asked[i];
        if (reinterpret_cast<HWND>(wParam) != asked.target || !StillAsked(asked))
            continue;
        if (data->dwData == kPathReportCurrent) {
            TakeReportText(data, asked.currentPath, kPathSize);
        } else if (data->dwData == kPathReportTree && asked.treePath != nullptr) {
            TakeReportText(data, asked.treePath, kTreePathSize);
            *asked.treeArrived = true;
        }
    }
}

// The round lives in its caller's frame, and EndRound forgets it before that frame ends.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
bool BeginRound(PathRound *round, HWND hwndMain, AskedTarget *asked, int count)
{
    round->hwndMain = hwndMain;
    round->asked = asked;
    round->count = count;
    if (!HookWindow(hwndMain, TakeReport))
        return false;
    activeRound = round;
    return true;
}
#pragma GCC diagnostic pop

void EndRound(PathRound *round)
{
    activeRound = nullptr;
    UnhookWindow(round->hwndMain, TakeReport);
}

// What a thread that asks one target gets: nothing of the host's or the plug-in's.
struct Ask {
    HWND target;
    int commandId;
    DWORD boundMs;
};

DWORD WINAPI AskOnThread(void *parameter)
{
    const Ask *ask = static_cast<const Ask *>(parameter);
    return SendRequest(ask->target, ask->commandId, ask->boundMs) ? 1 : 0;
}

// A thread that makes one send needs little of the default stack.
const SIZE_T kAskStackSize = 64 * 1024;

// Waits until every thread in threads has ended, meanwhile taking only the messages that other threads
// and processes send this one: the reports come in as such. No posted message of the host's is taken
// out of its queue. A thread's target is closed to reports once the thread has ended (StillAsked).
void WaitForAsks(HANDLE *threads, int running)
{
    while (running > 0) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD woke = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(running), threads, kAnswerTimeoutMs,
                                                 QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) {
            // Each thread ends once its bounded send does; none may outlive the call.
            WaitForMultipleObjects(static_cast<DWORD>(running), threads, TRUE, INFINITE);
            return;
        }
        if (woke >= WAIT_OBJECT_0 + static_cast<DWORD>(running))
            continue;  // sent messages to take, or a time-out
        --running;
        threads[woke - WAIT_OBJECT_0] = threads[running];
    }
}

// What is left of a round that began at start: every send of the round ends by kAnswerTimeoutMs after
// its first.
DWORD RoundTimeLeft(DWORD start)
{
    DWORD spent = GetTickCount() - start;
    return spent < kAnswerTimeoutMs ? kAnswerTimeoutMs - spent : 0;
}

// Asks the targets one after another from this thread, each send bounded by kPromptBoundMs, and gives
// the index of the first whose send ran out that bound, or count. A send that ends sooner without an
// answer (a target already counted as hung, or gone) is a target that did not answer: the next is asked.
// A target's reports are taken only while its own send waits.
int AskInTurn(AskedTarget *asked, const int *commandIds, int count, DWORD start)
{
    for (int i = 0; i < count; ++i) {
        DWORD left = RoundTimeLeft(start);
        if (commandIds[i] == 0 || left == 0)
            continue;
        DWORD bound = left < kPromptBoundMs ? left : DWORD(kPromptBoundMs);
        asked[i].open = true;
        DWORD sent = GetTickCount();
        bool answered = SendRequest(asked[i].target, commandIds[i], bound);
        DWORD took = GetTickCount() - sent;
        asked[i].open = false;
        // The tick count moves in steps of up to 16 ms: a send that gave up at once reads as far less
        // than its bound, one that ran it out as about all of it.
        if (!answered && 2 * took >= bound)
            return i;
    }
    return count;
}

// Asks the targets all at the same time, one thread each, every send ending by the round's deadline;
// meanwhile this thread takes the reports. Those no thread could be made for are asked from here, one
// after another, while the threads ask the others.
// The first of them was asked in turn already, and its send ran out. Asking it again is safe: a sent
// message not yet received when its send gives up is withdrawn (Windows and Wine's server remove it);
// one its instance had already begun to handle ends with its reports, which the round takes while a
// thread of the round asks that instance; and a second answer carries the same paths.
void AskAtOnce(AskedTarget *asked, const int *commandIds, int count, DWORD start)
{
    Ask asks[kMaxAskedAtOnce];
    HANDLE threads[kMaxAskedAtOnce];
    int running = 0;
    DWORD left = RoundTimeLeft(start);
    for (int i = 0; i < count && left > 0; ++i) {
        if (commandIds[i] == 0)
            continue;
        asks[i] = {asked[i].target, commandIds[i], left};
        asked[i].open = true;
        asked[i].thread = CreateThread(nullptr, kAskStackSize, AskOnThread, &asks[i],
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (asked[i].thread != nullptr)
            threads[running++] = asked[i].thread;
    }
    for (int i = 0; i < count; ++i) {
        if (asked[i].open && asked[i].thread == nullptr) {
            left = RoundTimeLeft(start);
            if (left > 0)
                SendRequest(asked[i].target, commandIds[i], left);
            asked[i].open = false;
        }
    }
    WaitForAsks(threads, running);
    for (int i = 0; i < count; ++i) {
        asked[i].open = false;
        if (asked[i].thread != nullptr)
            CloseHandle(asked[i].thread);
        asked[i].thread = nullptr;
    }
}

void EmptyAnswer(PathAnswer *answer)
{
    answer->currentPath[0] = '\0';
    answer->treePath[0] = '\0';
    answer->treeArrived = false;
}

}  // namespace

bool BeginPathRequest(PathRequest *request, HWND hwndMain, HWND target, PathAnswer *answer)
{
    EmptyAnswer(answer);
    request->asked = {target, nullptr, true, answer->currentPath, answer->treePath, &answer->treeArrived};
    return BeginRound(&request->round, hwndMain, &request->asked, 1);
}

void EndPathRequest(PathRequest *request)
{
    EndRound(&request->round);
}

void RequestPaths(HWND hwndMain, HWND target, int commandId, PathAnswer *answer)
{
    // Whatever number the target's menu gives another plug-in is that plug-in's command there, and a
    // window that is no instance runs whatever the number means to its program.
    int targetCommand = TargetCommandId(hwndMain, target, commandId);
    if (targetCommand == 0) {
        EmptyAnswer(answer);
        return;
    }
    PathRequest request;
    if (BeginPathRequest(&request, hwndMain, target, answer))
        SendRequest(target, targetCommand, kAnswerTimeoutMs);
    EndPathRequest(&request);
}

void RequestFolders(HWND hwndMain, const HWND *targets, const int *commandIds, int count,
                    char (*currentPaths)[kPathSize])
{
    if (count > kMaxAskedAtOnce)
        count = kMaxAskedAtOnce;
    AskedTarget asked[kMaxAskedAtOnce];
    for (int i = 0; i < count; ++i) {
        currentPaths[i][0] = '\0';
        asked[i] = {targets[i], nullptr, false, currentPaths[i], nullptr, nullptr};
    }
    PathRound round;
    if (!BeginRound(&round, hwndMain, asked, count))
        return;  // no report could be taken: as if none came
    const DWORD start = GetTickCount();
    int slow = AskInTurn(asked, commandIds, count, start);
    if (slow < count)
        AskAtOnce(asked + slow, commandIds + slow, count - slow, start);
    EndRound(&round);
}

void AnswerPathRequest(const HostRecord &record)
{
    HWND recipient = record.instanceWindows[0];
    // A program that takes WM_COPYDATA for its own use may act on a path it was never meant to get.
    if (!IsHostInstance(recipient, record.hwndMain))
        return;
    // A recipient that did not take the first report will not take the second either; waiting for it
    // again would only hold this host's thread for another time-out.
    if (!SendPathReport(recipient, record.hwndMain, kPathReportCurrent, record.currentPath))
        return;
    HWND tree = FindChildByClass(record.hwndMain, WC_TREEVIEWA);
    if (tree == nullptr)
        return;
    // Our own buffer: a request may arrive while a requester run of this process waits for its own.
    char treePath[kTreePathSize];
    BuildTreePath(tree, treePath);
    SendPathReport(recipient, record.hwndMain, kPathReportTree, treePath);
}
