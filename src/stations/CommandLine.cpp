#include "CommandLine.h"

#include "Text.h"

namespace quintaro::stations {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isSeparator(char c, PathRules rules)
{
    return c == '/' || (rules == PathRules::Windows && c == '\\');
}

bool hasFolder(std::string_view name, PathRules rules)
{
    if (rules == PathRules::Windows && name.size() >= 2 && name[1] == ':')
        return true;
    for (const char c : name) {
        if (isSeparator(c, rules))
            return true;
    }
    return false;
}

// "/x", "\x", "C:\x", "C:/x", "C:x" and "\\server\share" are taken as written.
bool isAbsolute(std::string_view name, PathRules rules)
{
    if (name.empty())
        return false;
    if (isSeparator(name.front(), rules))
        return true;
    // "C:x" is relative to the drive's own current folder: Windows' to resolve.
    return rules == PathRules::Windows && name.size() >= 2 && name[1] == ':';
}

std::string joinPath(std::string_view folder, std::string_view name, PathRules rules)
{
    std::string joined(folder);
    if (!joined.empty() && !isSeparator(joined.back(), rules))
        joined += rules == PathRules::Windows ? '\\' : '/';
    joined += name;
    return joined;
}

// Windows starts "name" as "name.exe" when the name has no extension.
std::string withExtension(std::string_view name, PathRules rules)
{
    std::string file(name);
    if (rules != PathRules::Windows)
        return file;
    std::size_t last = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (isSeparator(name[i], rules) || name[i] == ':')
            last = i + 1;
    }
    if (name.find('.', last) == std::string_view::npos)
        file += ".exe";
    return file;
}

// The file a candidate program name stands for, or an empty text.
std::string findProgram(std::string_view text, const ExecutableLookup &lookup)
{
    if (!lookup.isExecutableFile)
        return {};
    const PathRules rules = lookup.rules;
    const std::string name = withExtension(text, rules);
    const auto found = [&](const std::string &path) {
        return lookup.isExecutableFile(path) ? path : std::string();
    };
    if (hasFolder(name, rules))
        return found(isAbsolute(name, rules) ? name
                                             : joinPath(lookup.currentDirectory, name, rules));

    std::vector<std::string> folders;
    if (rules == PathRules::Windows && !lookup.programDirectory.empty())
        folders.push_back(lookup.programDirectory);
    folders.push_back(lookup.currentDirectory);
    if (rules == PathRules::Windows)
        folders.insert(folders.end(), lookup.systemDirectories.begin(),
                       lookup.systemDirectories.end());
    const char listSeparator = rules == PathRules::Windows ? ';' : ':';
    std::string_view rest = lookup.searchPath;
    while (!rest.empty()) {
        const auto end = rest.find(listSeparator);
        std::string_view folder = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        // Windows' PATH may quote a folder that holds the separator.
        if (rules == PathRules::Windows && folder.size() >= 2 && folder.front() == '"' &&
            folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        // An empty entry means the current directory, already tried.
        if (folder.empty())
            continue;
        folders.push_back(isAbsolute(folder, rules)
                              ? std::string(folder)
                              : joinPath(lookup.currentDirectory, folder, rules));
    }
    for (const std::string &folder : folders) {
        if (std::string path = found(joinPath(folder, name, rules)); !path.empty())
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
