// Text for the reader from the programs around the DLL; see console_text.h.
#include "harness/console_text.h"

#include <windows.h>

namespace {

std::wstring WideText(const std::string &cp932)
{
    int wideLength = MultiByteToWideChar(CP_ACP, 0, cp932.data(), int(cp932.size()), nullptr, 0);
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(CP_ACP, 0, cp932.data(), int(cp932.size()), &wide[0], wideLength);
    return wide;
}

void PrintTo(DWORD stream, const std::string &cp932)
{
    std::wstring wide = WideText(cp932);
    HANDLE out = GetStdHandle(stream);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    std::string utf8 = Utf8FromWide(wide);
    WriteFile(out, utf8.data(), DWORD(utf8.size()), &written, nullptr);
}

}  // namespace

std::string Utf8FromWide(const std::wstring &wide)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::string Utf8Text(const std::string &cp932)
{
    return Utf8FromWide(WideText(cp932));
}

void PrintText(const std::string &cp932)
{
    PrintTo(STD_OUTPUT_HANDLE, cp932);
}

void PrintNotice(const std::string &cp932)
{
    PrintTo(STD_ERROR_HANDLE, cp932);
}

bool WriteTextFile(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool done = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return done;
}
