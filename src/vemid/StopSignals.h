// How vemid is stopped, through the armed guard (ArmedGuard.h). SIGTERM, SIGINT
// and every other signal whose default action ends the process stop it: the
// watchdog is disarmed first. SIGUSR1 is the stop for a reboot. SIGHUP and SIGPIPE
// are ignored (a lost terminal under -d must not stop the feeding), so are the
// stop signals of a terminal (Ctrl-Z would let the watchdog expire). A genuine
// fault ends the process: the watchdog then restarts the machine, as it should
// when its keeper has crashed.
#ifndef VEMID_STOP_SIGNALS_H
#define VEMID_STOP_SIGNALS_H

#include <signal.h>

// Installs the handling above, and holds the stop signals back except where
// vemid waits (StopSignalsOpen), so that none is lost between a look and a wait;
// SIGCHLD, the end of the check helper, wakes the wait too. A fault removes
// `pidFile` as it ends vemid, when it is taken by then.
struct LockFile;
void InstallStopSignals(const LockFile* pidFile);
const sigset_t* StopSignalsOpen(void); // the mask to wait under

// The stop signal that came, 0 while none has; taken, so that after a stop that
// could not settle the watchdog the next signal stops anew.
int TakeStopSignal(void);
// The same, after letting in a stop held back so far (outside a wait).
int TakeHeldStopSignal(void);

#endif
