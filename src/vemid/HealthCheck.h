// The health check: a command run through the shell before each feed. The
// watchdog is fed only when it exits 0; a system that cannot run its check is
// not healthy either.
#ifndef VEMID_HEALTH_CHECK_H
#define VEMID_HEALTH_CHECK_H

#include <signal.h>

enum CheckOutcome { kCheckPassed, kCheckFailed, kCheckTimedOut, kCheckNotRun, kCheckStopped };

// Runs `command` with /bin/sh in a process group of its own (posix_spawn: a fork
// would copy vemid's locked memory) and waits up to `seconds` for it; past that,
// or when `stopped` turns true, its whole group is killed. `*detail` is the exit
// status (kCheckFailed) or the error number (kCheckNotRun).
CheckOutcome RunHealthCheck(const char* command, int seconds, volatile const sig_atomic_t* stopped, int* detail);

#endif
