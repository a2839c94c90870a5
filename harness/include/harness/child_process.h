// Programs of ours started beside the running one (the stand-in host, the benchmark's echo process), each
// ended with its object, and with this program should it die first.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One process of a program in the running program's folder, ended at destruction whatever happened: its
// window asked to close, a short wait, then TerminateProcess. It runs in a job that kills it when this
// program ends without ending it (a crash skips destructors): a leaked process would disturb every
// later run, as a leaked host would every later instance order. A start that Wine itself could not
// carry out (a loaded machine) is tried again a few times after a short pause, each said on stderr;
// what failed for good keeps every error it got in error.
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

// Quotes one command-line argument when needed; a trail byte 0x5C of a double-byte character is not
// a backslash and is never doubled.
std::string QuoteArgument(const std::string &argument);
