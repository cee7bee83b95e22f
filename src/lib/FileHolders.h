// Who has a file open, as far as this process may look at other processes: the
// holder of a lock is the process that has the locked file open, never merely the
// pid the file names.
#ifndef VEMI_FILE_HOLDERS_H
#define VEMI_FILE_HOLDERS_H

#include <sys/types.h>

struct FileHolders {
    long named;  // the pid asked about, when that process has the file open; 0 otherwise
    long first;  // the lowest pid of another process that has it open; 0: none seen
    bool byUser; // one of them runs as the user asked about (effective user id)
};

// Looks at every other process this one may look at, for the file open on `fd`.
// False when the processes cannot be looked at at all (Linux without /proc).
bool VemiFileHolders(int fd, uid_t user, long named, FileHolders* out);

#endif
