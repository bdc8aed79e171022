#pragma once

#include <string_view>

namespace quintaro {

// Text a program prints for the user who started it, in UTF-8: its usage,
// its answers to --help, --version and --keep-history, its errors. On Linux
// standard output or error (ConsoleOutput_unix.cpp). On Windows a program
// with windows has neither unless started from a console or with its output
// redirected; then the text goes there, and otherwise into a message box, so
// that the user always sees it (ConsoleOutput_win.cpp).
void printForUser(std::string_view text, bool isError);

// For output a script reads (CSV): standard output as it is, never a box,
// byte for byte (no line end is changed). False when it cannot be written.
bool printForScript(std::string_view bytes);

} // namespace quintaro
