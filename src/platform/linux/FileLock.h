#pragma once
// An exclusive advisory lock on a lock file, held for the object's lifetime. Used to serialise
// read-modify-write cycles of files shared between running copies of the program.

#include <string>

#include "platform/UniqueFd.h"

namespace platform {

class FileLock {
public:
    // Opens (creating if needed) lockPath and waits for an exclusive lock on it.
    explicit FileLock(const std::string& lockPath);
    bool Locked() const { return m_fd.Valid(); }

private:
    UniqueFd m_fd;
};

// Creates dir and its missing parents; true when the folder exists afterwards.
bool MakeDirectories(const std::string& dir);

// Writes contents to a temporary file beside path, flushes it to disk and renames it over path.
// On failure path is left as it was and the temporary file is removed.
bool ReplaceFileAtomically(const std::string& path, const std::string& contents);

}  // namespace platform
