// Started by tst_programstarter in place of a weather display: writes what it
// was started with into the file "received" beside itself, each field ended
// by a NUL byte: its process id, its current folder, the value of
// QUINTARO_STARTER_PROBE, then on Windows the whole command line as Windows
// hands it over, on Linux the number of its arguments and each argument.
// Texts of Windows are written in UTF-8. The file is renamed into place only
// once complete. Plain C++ and the system's calls only, linked statically on
// Windows, so that it starts from any folder with any PATH.

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#include <unistd.h>
#endif

namespace {

void addField(std::string &record, const std::string &field)
{
    record += field;
    record += '\0';
}

#ifdef _WIN32

std::string utf8(const wchar_t *text, int length)
{
    if (length <= 0)
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string bytes(std::size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

int report()
{
    static wchar_t buffer[32768];
    std::string record;
    addField(record, std::to_string(::GetCurrentProcessId()));
    addField(record, utf8(buffer, int(::GetCurrentDirectoryW(32768, buffer))));
    const DWORD probe = ::GetEnvironmentVariableW(L"QUINTARO_STARTER_PROBE", buffer, 32768);
    addField(record, utf8(buffer, probe < 32768 ? int(probe) : 0));
    const wchar_t *line = ::GetCommandLineW();
    addField(record, utf8(line, int(::wcslen(line))));

    std::wstring out(buffer, ::GetModuleFileNameW(nullptr, buffer, 32768));
    out.resize(out.find_last_of(L"\\/") + 1);
    out += L"received";
    const std::wstring part = out + L".part";
    const HANDLE file = ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, record.data(), DWORD(record.size()), &written, nullptr) &&
                    written == record.size();
    ::CloseHandle(file);
    return ok && ::MoveFileExW(part.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

#else

int report(int argc, char **argv)
{
    std::string record;
    addField(record, std::to_string(::getpid()));
    char buffer[PATH_MAX + 1];
    addField(record, ::getcwd(buffer, sizeof buffer) ? buffer : "");
    const char *probe = std::getenv("QUINTARO_STARTER_PROBE");
    addField(record, probe ? probe : "");
    addField(record, std::to_string(argc - 1));
    for (int i = 1; i < argc; ++i)
        addField(record, argv[i]);

    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return 1;
    std::string out(buffer, std::size_t(n));
    out.resize(out.rfind('/') + 1);
    out += "received";
    const std::string part = out + ".part";
    std::FILE *file = std::fopen(part.c_str(), "wb");
    if (!file)
        return 1;
    const bool ok = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    return std::fclose(file) == 0 && ok && std::rename(part.c_str(), out.c_str()) == 0 ? 0 : 1;
}

#endif

} // namespace

#ifdef _WIN32
int main()
{
    return report();
}
#else
int main(int argc, char **argv)
{
    return report(argc, argv);
}
#endif
