#pragma once
// Puts what was written to a file on the disk: the file's data (fdatasync), and the folder
// entry of a file just made (fsync of its folder), so that neither is lost with the page cache
// in a power cut. The base class does it for real; tests derive from it to count the calls or
// to give the system's answers.
//
// A folder that refuses to be synced (a write-only folder cannot even be opened for it; some
// file systems answer EINVAL) is the file system's answer, not a lost file: databases take it
// the same way. It is logged once per folder and counts as done. A file whose data cannot be
// synced stays a failure.
//
// Thread: any; the recorder calls it on its writing thread, never on the user-interface
// thread or the audio callback's.

#include <string>

namespace platform {

class FileSync {
public:
    virtual ~FileSync();

    // Makes the data written to fd durable. False when the system refused.
    virtual bool Data(int fd);
    // Makes the entry of the file at path durable in its folder. False when the folder could
    // not be synced for a reason other than a refusal (above).
    virtual bool FolderOf(const std::string& path);

    // Whether an error number from opening or syncing a folder is a refusal of the folder's
    // sync rather than a failure: EINVAL, EACCES, EBADF, EROFS.
    static bool FolderRefused(int error);

protected:
    // Opens folder and syncs it: 0, or the error number of the step that failed.
    virtual int SyncFolder(const std::string& folder);
};

}  // namespace platform
