// How the process treats signals while the watchdog test guards the watchdog. An
// armed watchdog left behind restarts the machine, so from just before arming until
// the watchdog is settled and the output written:
//  - a signal whose default action ends the process is caught, and the test
//    disarms, reports, and then ends the process as that signal would have; a
//    fault signal (SIGILL, SIGTRAP, SIGABRT, SIGFPE, SIGBUS, SIGSEGV, SIGSYS) sent
//    by another process takes the same way;
//  - a genuine fault cannot be returned to: its handler disarms at once, puts the
//    terminal back and ends the process;
//  - a signal whose default action stops the process (SIGTSTP, SIGTTIN, SIGTTOU)
//    is ignored: Ctrl-Z and a background terminal write do not stop the test;
//  - SIGPIPE is ignored: a reader that has gone is an output error, reported at
//    the end of the run like any other.
// Until the arm request is sent nothing is armed: a caught ending signal then ends
// the process at once, by that signal (the output written so far may be waiting
// for its reader). The write guard, a timer that cuts a write short so that no
// write can hold up the test, is a timer of the test's own with a signal of its
// own (SIGRTMIN, told apart from one another process sends): the process's
// ITIMER_REAL and SIGALRM stay the caller's, and an alarm inherited across exec
// is an ending signal like any other.
#ifndef VEMI_ARMED_SIGNALS_H
#define VEMI_ARMED_SIGNALS_H

#include <signal.h>

// Installs the handling above. `onFault` must be async-signal-safe: a genuine
// fault's handler calls it before the process ends.
void GuardArmedState(void (*onFault)(void));

// The arm request goes now: from here on a caught ending signal is settled by the
// test (disarmed first) rather than ending the process at once.
void ArmingNow(void);

// The first ending signal caught since GuardArmedState, 0 if none.
int ArmedEndingSignal(void);

// The caught ending signals that a wait holds back until it waits (VemiWaitUnder):
// the fault signals and the write guard's aside, which must never be blocked.
void ArmedSignalsOfWaits(sigset_t* set);

// Puts every disposition back as it was. SIGPIPE stays ignored once standard
// output has failed, so that the failure is reported rather than fatal.
void ReleaseArmedState(void);

// Around a write that must not wait: a write still going after a short while is
// cut short (EINTR, or the bytes written so far). Nothing without the guard.
void ArmWriteGuard(void);
void DisarmWriteGuard(void);

// Ends the process as `sig` would have ended it. Writes nothing.
[[noreturn]] void EndBySignal(int sig);

#endif
