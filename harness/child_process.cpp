// Starting and ending the programs of ours beside the running one; see child_process.h.
#include "harness/child_process.h"

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

}  // namespace

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

ChildProcess::ChildProcess(const char *program, const std::vector<std::string> &arguments)
{
    const std::string path = ProgramFolder() + program;
    commandLine = QuoteArgument(path);
    for (const std::string &argument : arguments)
        commandLine += " " + QuoteArgument(argument);

    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created = {};
    // Suspended until it is in the job, so that nothing it does escapes it.
    if (!CreateProcessA(path.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &created)) {
        error = LastErrorText("CreateProcessA", commandLine);
        ReportFailure(error);
        return;
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
        if (!PumpUntilSignaled(process, kCloseTimeoutMs)) {
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
