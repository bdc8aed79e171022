#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quintaro::stations {

// The one command line that starts Brezomat for a station, and the line the
// batch file repeats: trimmed path + " " + call + " " + trimmed address. The
// call goes through byte for byte, blanks included; nothing is quoted.
std::string buildCommandLine(std::string_view path, std::string_view call,
                             std::string_view address);

// How a platform names programs.
enum class PathRules {
    // "/" separates folders; PATH is split at ':'.
    Posix,
    // "\\" and "/" separate folders and "C:" names a drive; PATH is split
    // at ';'; a name without an extension is the name with ".exe"; a bare
    // name is looked for in the program's own folder, the current one and
    // the system's folders before PATH, as CreateProcess does.
    Windows,
};

// What the search for the program may look at. Tests hand in a fake file
// system; systemExecutableLookup() looks at the real one.
struct ExecutableLookup
{
    // True when `path` names an existing regular file this process may execute.
    std::function<bool(const std::string &path)> isExecutableFile;
    // Where a relative name is looked for first.
    std::string currentDirectory;
    // Folders searched for a name that holds no folder, separated as the
    // rules say.
    std::string searchPath;
    PathRules rules = PathRules::Posix;
    // Windows only: searched before the current folder (the program's own)
    // and between it and the search path (the system's folders).
    std::string programDirectory;
    std::vector<std::string> systemDirectories;
};

// The real file system, the process's current directory and its PATH, by
// the platform's rules (ProgramStarter_unix.cpp, ProgramStarter_win.cpp).
ExecutableLookup systemExecutableLookup();

// A command line split into the file to execute and its arguments.
struct ResolvedCommand
{
    std::string program;                // the file that was found, to execute
    std::string name;                   // the text that named it, for argv[0]
    std::vector<std::string> arguments; // without argv[0]

    std::vector<std::string> argv() const;
};

// Splits a command line the way an unquoted program path is read on the
// system Brezomat comes from: every prefix that ends before a blank (space or
// tab), shortest first, then the whole text, is tried as the program until
// one names an executable file; the rest, split at runs of blanks, gives the
// arguments, byte for byte, with no quote or escape processing and never
// through a shell. A name with a folder in it is taken as written (relative
// to the current directory); a name without is looked for in the current
// directory, then along the search path (by Windows' rules, in the folders
// CreateProcess searches, in its order).
//
// No program is found (nullopt) when
// - nothing names an executable file;
// - the text begins with a blank: the path was empty, and neither the call
//   nor anything after it may ever be taken for the program;
// - the text holds a NUL byte, which no program name or argument can carry.
std::optional<ResolvedCommand> resolveCommandLine(std::string_view commandLine,
                                                  const ExecutableLookup &lookup);

} // namespace quintaro::stations
