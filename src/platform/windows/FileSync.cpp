#include "platform/FileSync.h"

#include <io.h>

namespace platform {

bool FileSync::Data(int fd) { return ::_commit(fd) == 0; }

// NTFS journals a file's entry with the file, and a folder cannot be flushed.
bool FileSync::FolderOf(const std::string&) { return true; }

int FileSync::SyncFolder(const std::string&) { return 0; }

}  // namespace platform
