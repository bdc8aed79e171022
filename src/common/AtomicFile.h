#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quintaro {

struct FileWriteResult
{
    bool ok = false;
    std::string error; // the system's reason when !ok
};

// Replaces the file at `path` with `bytes` so that, whatever happens (a
// crash, a kill, a full disk), the file afterwards holds either all of its
// old content or all of the new one: the bytes go to a temporary file in the
// same directory, are flushed to the disk, and the temporary file is then
// renamed over the old one. On failure the temporary file is removed and the
// old file is untouched.
//
// What the user set up stays: a symbolic link is followed and the file it
// points to is replaced, the link kept; the replaced file keeps its
// permission bits and, where this process may set it, its owner. A file that
// may be written in a folder that may not (no temporary file can be made
// beside it) is written in place instead, the one case in which a crash can
// leave it half written.
FileWriteResult writeFileAtomically(const std::string &path, std::string_view bytes);

// Reads a file, at most `maxBytes` of it: a file chosen by mistake (a disk
// image, say) must not fill the memory. `truncated` tells whether the file
// holds more than was read. False (with the reason) when it cannot be opened
// or read.
bool readWholeFile(const std::string &path, std::string &bytes, std::string *error = nullptr,
                   std::size_t maxBytes = static_cast<std::size_t>(-1), bool *truncated = nullptr);

} // namespace quintaro
