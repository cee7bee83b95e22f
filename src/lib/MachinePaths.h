// The machine-wide paths the programs use by default: one watchdog per machine, one
// NUT. Under vemisim each run has its own stand-ins for them, in its folder.
#ifndef VEMI_MACHINE_PATHS_H
#define VEMI_MACHINE_PATHS_H

// The lock on the board's watchdog: vemid's pidfile, and the watchdog test's lock.
#define VEMI_WATCHDOG_LOCK "/var/run/vemid.pid"

// The pidfile of a vemid that keeps no watchdog (-n): no lock on the watchdog.
#define VEMID_PLAIN_PIDFILE "/var/run/vemid-n.pid"

// NUT's state path, as the system's NUT package has it.
#ifdef __FreeBSD__
#define VEMI_NUT_STATE_PATH "/var/db/nut"
#else
#define VEMI_NUT_STATE_PATH "/run/nut"
#endif

#endif
