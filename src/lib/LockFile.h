// A lock file, as FreeBSD's pidfile(3) keeps one: locked (flock) for as long as
// its holder runs, naming the holder's pid alone. The board's one watchdog has
// such a lock (VEMI_WATCHDOG_LOCK): vemid holds it for as long as it keeps the
// watchdog, as its pidfile, and VemiCmd's watchdog test for its run; a lock on a
// file, as FreeBSD refuses locks on device nodes.
//
// Its folder is reached through folders no other user can change (TrustedFolder.h);
// the file is opened there without following a symbolic link, created mode 0600,
// and must be a regular file of this user's with no other name: another user can
// neither take the lock nor aim the holder's writes at a file of their choosing.
// A file an older release left readable by others, locked by no process of this
// user's, is no holder's lock: it is replaced by a private one.
#ifndef VEMI_LOCK_FILE_H
#define VEMI_LOCK_FILE_H

#include <stddef.h>

#include "MachinePaths.h" // VEMI_WATCHDOG_LOCK

enum LockFileResult { kLockTaken, kLockHeld, kLockRefused };

struct LockFile {
    const char* path = nullptr;
    int folder = -1;     // the file's folder, open while the lock is held; -1 otherwise
    char name[256] = ""; // the file's name in it
    int fd = -1;         // open for writing and locked; -1 when not taken
};

// Takes the lock, creating the file when it is missing. kLockTaken: the file is
// emptied at once (the previous holder's pid goes), and the lock lasts while the
// descriptor stays open, in this process and those it forks. kLockHeld: another
// process holds it; `*holder` is the process seen having the file open (the one
// the file names when it does), 0 when none can be seen. kLockRefused: the file
// cannot be had or fails the checks above; `why` says so, naming the component.
LockFileResult LockFileTake(LockFile* lock, const char* path, long* holder, char* why, size_t whySize);

// Writes this process's pid into the file, alone, as pidfile(3) does. False, with
// errno, when it could not be written: the lock stands, only its holder's name is
// missing.
bool LockFileName(const LockFile* lock);

// Removes the file while it is still the locked one, then lets the lock go.
void LockFileRelease(LockFile* lock);

// The removal alone, for a signal handler that ends the process: async-signal-safe.
void LockFileRemoveAtEnd(const LockFile* lock);

// For tests: called just after the file's open (kLockFileOpened) and after its
// checks (kLockFileChecked), before the lock, where a holder that stops may remove
// the file from under the taker. Null otherwise.
enum LockFileStep { kLockFileOpened, kLockFileChecked };
extern void (*gLockFileStep)(LockFileStep step);

#endif
