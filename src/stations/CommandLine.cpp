#include "CommandLine.h"

#include "Text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace quintaro::stations {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (!joined.empty() && joined.back() != '/')
        joined += '/';
    joined += name;
    return joined;
}

std::string currentDirectory()
{
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool isExecutableRegularFile(const std::string &path)
{
    using FileStatus = struct stat;
    FileStatus st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The file a candidate program name stands for, or an empty text.
std::string findProgram(std::string_view name, const ExecutableLookup &lookup)
{
    if (!lookup.isExecutableFile)
        return {};
    if (name.find('/') != std::string_view::npos) {
        const std::string path =
            name.front() == '/' ? std::string(name) : joinPath(lookup.currentDirectory, name);
        return lookup.isExecutableFile(path) ? path : std::string();
    }

    const std::string inCurrent = joinPath(lookup.currentDirectory, name);
    if (lookup.isExecutableFile(inCurrent))
        return inCurrent;

    std::string_view rest = lookup.searchPath;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        // An empty entry means the current directory, already tried.
        if (folder.empty())
            continue;
        const std::string base =
            folder.front() == '/' ? std::string(folder) : joinPath(lookup.currentDirectory, folder);
        const std::string path = joinPath(base, name);
        if (lookup.isExecutableFile(path))
            return path;
    }
    return {};
}

std::vector<std::string> splitAtBlanks(std::string_view text)
{
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !isBlank(text[pos]))
            ++pos;
        if (pos > start)
            parts.emplace_back(text.substr(start, pos - start));
    }
    return parts;
}

} // namespace

std::string buildCommandLine(std::string_view path, std::string_view call, std::string_view address)
{
    const std::string_view trimmedPath = trimSpaces(path);
    const std::string_view trimmedAddress = trimSpaces(address);
    std::string line;
    line.reserve(trimmedPath.size() + call.size() + trimmedAddress.size() + 2);
    line.append(trimmedPath).append(1, ' ').append(call).append(1, ' ').append(trimmedAddress);
    return line;
}

ExecutableLookup systemExecutableLookup()
{
    const char *path = std::getenv("PATH");
    return {isExecutableRegularFile, currentDirectory(), path ? std::string(path) : std::string()};
}

std::vector<std::string> ResolvedCommand::argv() const
{
    std::vector<std::string> all;
    all.reserve(arguments.size() + 1);
    all.push_back(name);
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}

std::optional<ResolvedCommand> resolveCommandLine(std::string_view commandLine,
                                                  const ExecutableLookup &lookup)
{
    if (commandLine.empty() || isBlank(commandLine.front()) ||
        commandLine.find('\0') != std::string_view::npos)
        return std::nullopt;

    for (std::size_t end = 1; end <= commandLine.size(); ++end) {
        if (end < commandLine.size() && !isBlank(commandLine[end]))
            continue;
        const std::string_view name = commandLine.substr(0, end);
        std::string program = findProgram(name, lookup);
        if (program.empty())
            continue;
        return ResolvedCommand{std::move(program), std::string(name),
                               splitAtBlanks(commandLine.substr(end))};
    }
    return std::nullopt;
}

} // namespace quintaro::stations
