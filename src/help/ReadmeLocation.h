#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quintaro::help {

// Where a read-me named `fileName` is looked for, in order: the name as
// given, so a bare name in the directory the program was started from; then,
// for a bare name, the program's data folder (`dataFolderFromProgram`,
// relative to the program's folder: an installed program's share/quintaro,
// found so wherever the installation was moved); then the program's own
// folder, where a build keeps a copy.
std::vector<std::string> readmeCandidates(std::string_view fileName, std::string_view programFolder,
                                          std::string_view dataFolderFromProgram);

} // namespace quintaro::help
