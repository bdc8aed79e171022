#pragma once

namespace quintaro {

// Answers --help and --version on standard output without opening a window:
// the exit status, or -1 when the program is to start.
int answerInformationalOption(int argc, char **argv);

// Answers --keep-history DAYS: keeps the period in the weather history
// store, which every recording Quintaro applies. The exit status, or -1 when
// the option is not given.
int answerHistoryOption(int &argc, char **argv);

// Loads and shows the main window and runs until the last window has closed;
// the exit status. The application object must exist.
int runMainWindow();

// The whole program: the informational options, else the main window.
int runQuintaro(int argc, char **argv);

} // namespace quintaro
