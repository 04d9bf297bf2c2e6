// The seams of WriteWholeFileSafely's system calls (MyUtils.cpp): a test counts its fsync calls,
// and on which thread, to show that a window's thread never waits on the disk; another test
// sends its bytes to /dev/full to see what a full disk does.
#pragma once

namespace qb {

// Called on the syncing thread before each fsync that WriteWholeFileSafely makes (two a file:
// the file, then its folder). nullptr (the default) calls nothing.
using FileSyncObserver = void (*)();
void SetFileSyncObserver(FileSyncObserver observer);

// Writes the bytes of the temporary file in place of ::write (same contract: bytes written or
// -1 with errno). nullptr (the default) is ::write itself.
using FileWriter = long (*)(int fd, const void* bytes, unsigned long count);
void SetFileWriter(FileWriter writer);

} // namespace qb
