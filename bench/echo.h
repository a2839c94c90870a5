// What the benchmark and its echo process agree on: the echo's program, its window class and its command
// line. The echo is the floor's other end: it answers the plug-in's request the way a host's plug-in
// does, and does nothing else.
#pragma once

#define ECHO_EXE_NAME "bench_echo.exe"
// Its one window is message-only, so that no host's look at the top-level windows sees it.
#define ECHO_WINDOW_CLASS "VorpanBenchEcho"
// Command line: bench_echo.exe <folder>. A WM_COMMAND whose lParam names the asker's window is answered
// inside it with two WM_COPYDATA reports, "<folder>" as the current path and "<folder>\" as the tree path.
