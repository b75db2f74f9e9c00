#pragma once
// Opening the files the user names without surprises, and locking them. A path may name a
// named pipe or a device: opening it for writing could wait for a reader for ever, reading it
// could wait for a writer. Every such open is made non-blocking and checked to be a regular
// file before anything reads, writes, empties or measures it.

#include <string>

#include "platform/UniqueFd.h"

namespace platform {

// Opens path with flags (O_NONBLOCK and O_CLOEXEC added; mode for O_CREAT) and keeps the
// descriptor only when it is a regular file, made blocking again for ordinary reading and
// writing. An invalid descriptor otherwise (errno tells why; EINVAL for no regular file).
UniqueFd OpenRegularFile(const std::string& path, int flags, unsigned mode = 0666);

// What an exclusive advisory lock attempt found.
enum class LockResult {
    Locked,         // held now
    HeldElsewhere,  // another open file (another copy of the program) holds it
    Unsupported,    // the file system cannot lock; go on without the lock
};

// Tries once to lock fd exclusively. Only "would block" means another holder; any other lock
// error (ENOLCK, EOPNOTSUPP on some network and fuse file systems) gives Unsupported and a
// warning naming path on standard error.
LockResult TryLockExclusive(int fd, const std::string& path);

// The lock call TryLockExclusive makes (flock's signature); nullptr restores flock. Tests
// stand in for file systems without locking. Returns the previous one.
using LockFunction = int (*)(int fd, int operation);
LockFunction SetLockFunction(LockFunction lock);

// The process carries on when a write passes its file-size limit: the write fails with
// EFBIG and the writer's own failure path reports it, instead of SIGXFSZ ending the program.
void IgnoreFileSizeSignal();

}  // namespace platform
