// Starting and ending the programs of ours beside the running one; see child_process.h.
#include "harness/child_process.h"

#include "harness/console_text.h"
#include "harness/folders.h"
#include "harness/outcome.h"
#include "harness/wait.h"
#include "text_walk.h"

namespace {

HANDLE ChildJob()
{
    static HANDLE job = [] {
        HANDLE created = CreateJobObjectA(nullptr, nullptr);
        if (created) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
        return created;
    }();
    return job;
}

// Pauses of 250, 500 and 1000 ms: under load a start that failed has failed for a while.
constexpr int kStartTries = 4;
constexpr DWORD kFirstRetryPauseMs = 250;

// A trail byte 0x5C of a double-byte character is not a backslash and is never doubled.
std::string QuoteArgument(const std::string &argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    // Backslashes are literal except in front of a quote, where each must be doubled.
    std::string quoted = "\"";
    size_t backslashes = 0;
    ForEachCharacter(argument, [&](size_t i, bool isDouble) {
        if (isDouble) {
            quoted += argument.substr(i, 2);
            backslashes = 0;
        } else if (argument[i] == '\\') {
            quoted += '\\';
            ++backslashes;
        } else {
            if (argument[i] == '"')
                quoted.append(backslashes + 1, '\\');
            quoted += argument[i];
            backslashes = 0;
        }
    });
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

}  // namespace

ChildProcess::ChildProcess(const char *program, const std::vector<std::string> &arguments)
{
    const std::string path = ProgramFolder() + program;
    commandLine = QuoteArgument(path);
    for (const std::string &argument : arguments)
        commandLine += " " + QuoteArgument(argument);

    PROCESS_INFORMATION created = {};
    std::string firstFailure, errors;
    for (int tried = 1;; ++tried) {
        std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
        mutableLine.push_back('\0');
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        // Suspended until it is in the job, so that nothing it does escapes it.
        if (CreateProcessA(path.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                           nullptr, &startup, &created))
            break;
        // Wine's own failures when the machine runs short of processes pass once it has room again: the
        // loader's fork failed, or the process ended before it had loaded. Ours (a missing program, a command
        // line too long, a file that is no program) fail alike every time and are not tried again.
        const DWORD code = GetLastError();
        const std::string failed = LastErrorText("CreateProcessA", commandLine);
        if (tried == 1)
            firstFailure = failed;
        errors += (tried == 1 ? "" : ", ") + std::to_string(code);
        if ((code != ERROR_NOT_ENOUGH_MEMORY && code != ERROR_INTERNAL_ERROR) || tried == kStartTries) {
            error = tried == 1 ? failed
                                : firstFailure + "; tried " + std::to_string(tried) + " times, errors " + errors;
            ReportFailure(error);
            return;
        }
        const DWORD pauseMs = kFirstRetryPauseMs << (tried - 1);
        PrintNotice("harness: " + failed + " (Wine could not start it); trying again in " + std::to_string(pauseMs) +
                    " ms, try " + std::to_string(tried + 1) + " of " + std::to_string(kStartTries) + "\n");
        // Pumping: a host running already may be sending to this thread's windows meanwhile.
        PumpUntil([] { return false; }, pauseMs);
    }
    process = created.hProcess;
    pid = created.dwProcessId;
    if (ChildJob())
        AssignProcessToJobObject(ChildJob(), process);
    ResumeThread(created.hThread);
    CloseHandle(created.hThread);
}

ChildProcess::~ChildProcess()
{
    if (!process)
        return;
    if (Running()) {
        if (hwnd)
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        if (!PumpUntil([&] { return !Running(); }, kCloseTimeoutMs)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, kCloseTimeoutMs);
        }
    }
    CloseHandle(process);
}

bool ChildProcess::Running() const
{
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}
