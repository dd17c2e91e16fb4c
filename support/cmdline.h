// The program's command-line arguments, taken from the text the platform gives the process.
#pragma once

#include <string>
#include <string_view>

// Argument n (n >= 1) after the program path: characters up to 32 separate arguments, a stretch in
// double quotes is not split, an empty pair of quotes where an argument would begin is skipped, and
// an argument of two or more characters that begins and ends with a quote loses those two quotes.
// A missing argument is empty.
std::u16string ParamStr(std::u16string_view commandLine, int n);
