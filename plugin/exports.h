// The two functions the host calls, by plain names and with the Windows calling convention.
#pragma once

#include <windows.h>

struct HostRecord;

extern "C" int WINAPI GetFunctionInfo(char *description, char *copyright, WORD *version);
extern "C" int WINAPI DoProcess(HostRecord *record);
