// The two ways the benchmark asks for a folder's paths: the bare round trip to an echo process of its
// own, the floor, and the plug-in's own request to a host.
#pragma once

#include <windows.h>

#include <string>

#include "harness/child_process.h"
#include "link/path_exchange.h"

// An echo process answering for folder, ended with the object (and with the benchmark, whatever happens
// to it).
class EchoProcess : public ChildProcess {
public:
    explicit EchoProcess(const std::string &folder);

    bool ok() const { return hwnd != nullptr; }
};

// A message window or top-level window of this thread, made with its own class for the object and
// destroyed with it, the class too.
class OwnedWindow {
public:
    OwnedWindow(const char *className, WNDPROC proc, const char *title, DWORD style, HWND parent);
    ~OwnedWindow();
    OwnedWindow(const OwnedWindow &) = delete;
    OwnedWindow &operator=(const OwnedWindow &) = delete;

    const char *className;  // a literal: it outlives the object
    HWND hwnd;
};

// The asking side of the floor, sending as the plug-in's request does (SendMessageTimeoutA, 3000 ms).
class BareAsker : public OwnedWindow {
public:
    BareAsker();
    // Milliseconds for one round trip; false when the echo's two reports for folder did not both arrive.
    bool Ask(HWND echo, const std::string &folder, double *elapsed) const;
};

// The requester's side of path requests, made with the plug-in's own RequestPaths from an instance's main
// window of the bench's (MakeInstanceWindow): a target's responder reports to the most recently active
// such window. While it exists it counts as an instance for the hosts.
class Requester {
public:
    Requester();
    ~Requester();
    Requester(const Requester &) = delete;
    Requester &operator=(const Requester &) = delete;
    // Milliseconds for one request to target; false when it did not bring both reports back.
    bool Request(HWND target, double *elapsed);

    HWND hwnd;
    bool ready = false;
    PathAnswer answer;
};
