#pragma once
// Splitting a Windows-style command line into a program and arguments, as the
// system builds them: `"P/BIRCH.DLL""B.avi"` or `"P/CEDAR.DLL" -c "B.m4v" B.3gp`.
//
// The program is taken as process creation takes it: the text between the
// first pair of quotes when the line starts with a quote, else up to the
// first blank. The rest splits by the Microsoft C runtime rules: blanks
// separate; quoted parts may sit inside an argument (a"b c"d -> ab cd);
// 2n backslashes before a quote give n backslashes and the quote toggles;
// 2n+1 give n backslashes and a literal quote; other backslashes are literal;
// "" inside quotes is a literal quote.

#include <string>
#include <string_view>
#include <vector>

namespace qf::platform {

// The program first, then the arguments. Empty for a blank line.
std::vector<std::string> splitCommandLine(std::string_view line);

// Quotes one argument so that splitCommandLine gives it back unchanged.
std::string quoteArgument(std::string_view argument);

} // namespace qf::platform
