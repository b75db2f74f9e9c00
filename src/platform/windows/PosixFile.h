#pragma once
// The few POSIX file calls the program's file code makes that MinGW-w64's C runtime lacks, or
// takes as a path in the ANSI code page rather than UTF-8. The Windows build includes this
// header in every C++ file (cmake/Windows.cmake), so the shared code calls them as it does on
// Linux. Descriptors are the C runtime's, opened by platform::OpenRegularFile in binary mode.
// Windows only.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

// Reads up to n bytes at offset without using the descriptor's position (ReadFile with the
// offset given). 0 at or past the end; -1 with errno on failure.
ssize_t pread(int fd, void* buffer, std::size_t n, off_t offset);

// stat of a UTF-8 path through the UTF-16 call. Windows has no symbolic links to not follow.
int lstat(const char* utf8Path, struct stat* st);
