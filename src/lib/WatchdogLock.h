// The lock that says who holds the board's one watchdog: vemid for as long as it
// runs, VemiCmd's watchdog test for its run. A lock on a file, as FreeBSD refuses
// locks on device nodes; vemid's pidfile is that file.
#ifndef VEMI_WATCHDOG_LOCK_H
#define VEMI_WATCHDOG_LOCK_H

#define VEMI_WATCHDOG_LOCK "/var/run/vemid.pid"

// Takes the lock on `path`, creating the file when it is missing. 0 with the
// descriptor in `*fd` (the lock lasts while it stays open, in this process and
// those it forks); EWOULDBLOCK when another process holds it; another error number
// when the file cannot be had at all.
int TakeWatchdogLock(const char* path, int* fd);

#endif
