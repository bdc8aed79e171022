#pragma once

#include <functional>
#include <string_view>

namespace quintaro::display {

// How many of the words a command line holds, split at blanks, belong to the
// path of the program it started. One, unless the program was started by an
// unquoted path with blanks, as Windows' launchers of a "path call address"
// line do (Quintaro, a batch file): "C:\Users\John Smith\...\quintaro-
// weather.exe CALL ADDRESS" reaches the program whole, and its C runtime
// splits the path into two words as if the second were an argument.
// `namesThisProgram` tells whether a beginning of the line names this program
// (with ".exe" where it has no extension). A quoted program counts as one.
int programPathWords(std::wstring_view commandLine,
                     const std::function<bool(std::wstring_view)> &namesThisProgram);

// The same for this process (ProgramPath_unix.cpp, ProgramPath_win.cpp): 1
// on Linux, where a program gets its arguments as they were given.
int programPathWords();

} // namespace quintaro::display
