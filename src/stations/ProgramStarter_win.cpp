#include "ProgramStarter.h"

#include "CommandLine.h"
#include "WindowsText.h"

#include <windows.h>

namespace quintaro::stations {

namespace {

std::string folderFromWide(const wchar_t *text, UINT length)
{
    return length > 0 ? codePageFromWide(CP_UTF8, std::wstring_view(text, length)) : std::string();
}

// Anything but a folder: Windows decides when starting it whether it can
// run it.
bool isFile(const std::string &path)
{
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

ExecutableLookup systemExecutableLookup()
{
    ExecutableLookup lookup;
    lookup.rules = PathRules::Windows;
    lookup.isExecutableFile = isFile;
    wchar_t buffer[32768];
    lookup.currentDirectory = folderFromWide(buffer, ::GetCurrentDirectoryW(32768, buffer));
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, 32768);
    std::wstring program(buffer, length);
    program.resize(
        program.find_last_of(L"\\/") == std::wstring::npos ? 0 : program.find_last_of(L"\\/"));
    lookup.programDirectory = codePageFromWide(CP_UTF8, program);
    lookup.systemDirectories = {folderFromWide(buffer, ::GetSystemDirectoryW(buffer, 32768)),
                                folderFromWide(buffer, ::GetWindowsDirectoryW(buffer, 32768))};
    const DWORD pathLength = ::GetEnvironmentVariableW(L"PATH", buffer, 32768);
    lookup.searchPath = pathLength < 32768 ? folderFromWide(buffer, pathLength) : std::string();
    return lookup;
}

// The command line goes to CreateProcess as the one text it is, with no
// program named apart: Windows itself reads the program from its unquoted
// beginning, trying each prefix that ends before a blank, as it always has
// for such lines. It is checked first by the same rule, so that a line whose
// path is empty never starts the call as a program. The program gets a
// normal window in front, and a console of its own when it is a console
// program; it inherits no handle of this program's (the engine's socket).
long long SystemProgramStarter::start(std::string_view commandLine)
{
    // The lookup reads the line as UTF-8 paths; the line is in the 8-bit
    // code page, as the settings and the batch file hold it.
    const std::wstring line = wideFromCodePage(CP_ACP, commandLine);
    if (!resolveCommandLine(codePageFromWide(CP_UTF8, line), systemExecutableLookup()))
        return 0;
    std::wstring mutableLine = line;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                          &startup, &process))
        return 0;
    ::AllowSetForegroundWindow(process.dwProcessId);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return process.dwProcessId;
}

} // namespace quintaro::stations
