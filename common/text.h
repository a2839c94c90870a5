// Text helpers for fixed buffers: a text that does not fit is refused, never cut (a cut path names a
// different folder), and a trail byte of the ANSI code page is never taken for a character of its own
// (CharNextA walks whole characters: ソ is 0x83 0x5C).
#pragma once

#include <windows.h>

// Appends src to the text in dst; refuses (leaving dst as it was) when the whole does not fit.
inline bool AppendText(char *dst, int dstSize, const char *src)
{
    int used = lstrlenA(dst);
    int add = lstrlenA(src);
    if (used + add + 1 > dstSize)
        return false;
    for (int i = 0; i <= add; ++i)
        dst[used + i] = src[i];
    return true;
}

// Index of the next "\" at or after text[from] (a character boundary) that is a whole character; -1 if
// none.
inline int FindSeparator(const char *text, int from)
{
    for (const char *p = text + from; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\')
            return static_cast<int>(p - text);
    }
    return -1;
}
