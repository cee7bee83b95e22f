// The lock that says who holds the board's one watchdog: vemid for as long as it
// runs, VemiCmd's watchdog test for its run. A lock on a file, as FreeBSD refuses
// locks on device nodes; vemid's pidfile is that file, and whoever holds the lock
// writes its pid into it.
#ifndef VEMI_WATCHDOG_LOCK_H
#define VEMI_WATCHDOG_LOCK_H

#define VEMI_WATCHDOG_LOCK "/var/run/vemid.pid"

// Takes the lock on `path`, creating the file when it is missing. 0 with the
// descriptor in `*fd` (the lock lasts while it stays open, in this process and
// those it forks); EWOULDBLOCK when another process holds it, with the pid the
// file names (0 if none) in `*holder`; another error number when the file cannot
// be had at all.
int TakeWatchdogLock(const char* path, int* fd, long* holder);

// Writes this process's pid into the locked file (a file opened read-only stays
// as it is: the lock still stands).
void NameWatchdogHolder(int fd);

// Leaves the file empty, naming no one, and lets the lock go.
void ReleaseWatchdogLock(int fd);

#endif
