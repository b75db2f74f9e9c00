#pragma once
// Puts what was written to a file on the disk: the file's data (fdatasync), and the folder
// entry of a file just made (fsync of its folder), so that neither is lost with the page cache
// in a power cut. The base class does it for real; tests derive from it to count the calls.
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
    // not be opened or synced.
    virtual bool FolderOf(const std::string& path);
};

}  // namespace platform
