// Programs of ours started beside the running one (the stand-in host, the benchmark's echo process), each
// ended with its object, and with this program should it die first.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One process of a program in the running program's folder, ended at destruction whatever happened (its
// window asked to close, then TerminateProcess), and by a job should this program die first: a leaked host
// would disturb every later instance order. A start Wine could not carry out is tried again (see the source).
class ChildProcess {
public:
    // arguments: one command-line argument each, quoted as needed; code page 932.
    ChildProcess(const char *program, const std::vector<std::string> &arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool Running() const;

    HWND hwnd = nullptr;  // its window, once the owner has found it: the one asked to close at the end
    DWORD pid = 0;
    HANDLE process = nullptr;
    std::string commandLine;
    std::string error;  // why it did not start, with the errors of every try
};
