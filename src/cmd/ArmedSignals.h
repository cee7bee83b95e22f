// How the process treats signals while the watchdog is armed. An armed watchdog
// left behind restarts the machine, so from just before arming until the disarm:
//  - a signal whose default action ends the process is caught, and the test
//    disarms, reports, and then ends the process as that signal would have;
//  - the fault signals (SIGILL, SIGTRAP, SIGABRT, SIGFPE, SIGBUS, SIGSEGV, SIGSYS)
//    cannot be returned to: their handler disarms at once and ends the process;
//  - a signal whose default action stops the process (SIGTSTP, SIGTTIN, SIGTTOU)
//    is ignored: Ctrl-Z and a background terminal write do not stop the test;
//  - SIGPIPE is ignored: a reader that has gone is an output error, reported at
//    the end of the run like any other.
#ifndef VEMI_ARMED_SIGNALS_H
#define VEMI_ARMED_SIGNALS_H

// Installs the handling above. `disarmNow` must be async-signal-safe: the fault
// signals call it from their handler.
void GuardArmedState(void (*disarmNow)(void));

// The ending signal caught since GuardArmedState, 0 if none.
int ArmedEndingSignal(void);

// Puts every disposition back as it was. SIGPIPE stays ignored once standard
// output has failed, so that the failure is reported rather than fatal.
void ReleaseArmedState(void);

// Ends the process as `sig` would have ended it, after flushing standard output.
void EndBySignal(int sig);

#endif
