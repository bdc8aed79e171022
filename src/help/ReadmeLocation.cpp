#include "ReadmeLocation.h"

namespace quintaro::help {

namespace {

std::string joined(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path.append(name);
}

} // namespace

std::vector<std::string> readmeCandidates(std::string_view fileName, std::string_view programFolder,
                                          std::string_view dataFolderFromProgram)
{
    std::vector<std::string> candidates{std::string(fileName)};
    // A name with a folder of its own means that folder only.
    if (fileName.empty() || fileName.find('/') != std::string_view::npos || programFolder.empty())
        return candidates;
    candidates.push_back(joined(joined(programFolder, dataFolderFromProgram), fileName));
    candidates.push_back(joined(programFolder, fileName));
    return candidates;
}

} // namespace quintaro::help
