// Inside the harness: walking code page 932 text one character at a time, so that a trail byte 0x5C is
// never taken for a separator, and the text of a failed call.
#pragma once

#include <windows.h>

#include <string>

template <typename Visit>
void ForEachCharacter(const std::string &text, Visit visit)
{
    for (size_t i = 0; i < text.size(); ++i) {
        bool isDouble = IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size();
        visit(i, isDouble);
        if (isDouble)
            ++i;
    }
}

inline std::string::size_type LastSeparator(const std::string &text)
{
    std::string::size_type last = std::string::npos;
    ForEachCharacter(text, [&](size_t i, bool isDouble) {
        if (!isDouble && (text[i] == '\\' || text[i] == '/'))
            last = i;
    });
    return last;
}

inline std::string LastErrorText(const char *what, const std::string &subject)
{
    return std::string(what) + " \"" + subject + "\" failed, error " + std::to_string(GetLastError());
}
