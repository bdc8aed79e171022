#pragma once

namespace quintaro::display {

// Answers --help and --version on standard output, and a command line that
// names no call, without opening a window: the exit status, or -1 when the
// display is to start or a --csv line is to be read.
int answerDisplayOptions(int argc, char **argv);

// Opens the display for the call and address of the command line left once
// Qt has taken its own options, and runs until it is closed; the exit
// status. The application object must exist.
int runWeatherDisplay(int argc, char **argv);

// The whole program: quintaro-weather CALL [ADDRESS], or with --csv the
// station's history written to standard output without a window.
int runDisplayProgram(int argc, char **argv);

} // namespace quintaro::display
