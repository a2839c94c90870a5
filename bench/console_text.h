// Prints code page 932 text so that the reader's terminal shows it: UTF-16 to a console, UTF-8 to a
// file or pipe (the terminal behind Wine is UTF-8).
#pragma once

#include <string>

void PrintText(const std::string &cp932);
