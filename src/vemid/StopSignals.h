// How vemid is stopped. SIGTERM, SIGINT and every other signal whose default
// action ends the process stop it: the watchdog is disarmed first. SIGUSR1 is the
// stop for a reboot. SIGHUP and SIGPIPE are ignored (a lost terminal under -d must
// not stop the feeding), so are the stop signals of a terminal (Ctrl-Z would let
// the watchdog expire). SIGALRM from vemid's own timer only guards a write. A
// genuine fault ends the process: the watchdog then restarts the machine, as it
// should when its keeper has crashed.
#ifndef VEMID_STOP_SIGNALS_H
#define VEMID_STOP_SIGNALS_H

#include <signal.h>

// The signal that asked vemid to stop, 0 while none has.
extern volatile sig_atomic_t gStopSignal;

// Installs the handling above, and holds the stop signals back except where
// vemid waits (StopSignalsOpen), so that none is lost between a look and a wait.
void InstallStopSignals(void);
const sigset_t* StopSignalsOpen(void); // the mask to wait under

// A write that may block (standard error on a terminal stopped by Ctrl-S, a full
// pipe) goes between GuardWrite(true) and GuardWrite(false): past 50 ms it is
// interrupted, and what it did not write is dropped.
void GuardWrite(bool on);

#endif
