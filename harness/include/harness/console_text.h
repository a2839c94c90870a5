// Text for the reader from the programs beside the tests: code page 932 text printed so that the reader's
// terminal shows it, and files written.
#pragma once

#include <string>

// UTF-16 to a console, UTF-8 to a file or pipe (the terminal behind Wine is UTF-8).
void PrintText(const std::string &cp932);
// The same to the standard error, so that a report on stdout stays clean of what is said beside it.
void PrintNotice(const std::string &cp932);
// The same text in UTF-8, as files for the reader are written.
std::string Utf8Text(const std::string &cp932);
std::string Utf8FromWide(const std::wstring &wide);
// Writes bytes, as they are, into a new file at path (replacing one that is there).
bool WriteTextFile(const std::string &path, const std::string &bytes);
