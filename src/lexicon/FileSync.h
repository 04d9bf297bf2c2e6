// The one seam of WriteWholeFileSafely's fsync calls (MyUtils.cpp): a test counts them, and on
// which thread, to show that a window's thread never waits on the disk.
#pragma once

namespace qb {

// Called on the syncing thread before each fsync that WriteWholeFileSafely makes (two a file:
// the file, then its folder). nullptr (the default) calls nothing.
using FileSyncObserver = void (*)();
void SetFileSyncObserver(FileSyncObserver observer);

} // namespace qb
