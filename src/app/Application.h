#pragma once

namespace quintaro {

// Runs the program: answers --help and --version without opening a window,
// otherwise loads and shows the main window and runs until the last window
// has closed. Returns the exit status.
int runQuintaro(int argc, char **argv);

} // namespace quintaro
