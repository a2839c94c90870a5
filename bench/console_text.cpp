// Implementation of the console output shared by the demo driver and the benchmark.
#include "console_text.h"

#include <windows.h>

void PrintText(const std::string &cp932)
{
    int wideLength = MultiByteToWideChar(CP_ACP, 0, cp932.data(), int(cp932.size()), nullptr, 0);
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(CP_ACP, 0, cp932.data(), int(cp932.size()), &wide[0], wideLength);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], length, nullptr, nullptr);
    WriteFile(out, utf8.data(), DWORD(utf8.size()), &written, nullptr);
}
