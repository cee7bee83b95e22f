// How a program that holds the board's watchdog armed treats signals: VemiCmd's
// watchdog test for its run, vemid for its life. An armed watchdog left behind
// restarts the machine, so:
//  - a signal whose default action ends the process (EndingSignals.h, the real-time
//    signals too) is caught and recorded; the program settles the watchdog and
//    then ends as that signal would have ended it (EndBySignal), or, before the
//    arm, the process ends at once by the signal;
//  - a fault signal (SIGILL, SIGTRAP, SIGABRT, SIGFPE, SIGBUS, SIGSEGV, SIGSYS) sent
//    by another process takes the same way; a genuine fault cannot be returned to:
//    the program's last words (`onFault`) run, then the process ends by it;
//  - a signal the caller had ignored (nohup) stays ignored, and so do the ones the
//    program asks ignored while it guards (terminal stops, SIGPIPE, ...);
//  - a write that could wait (a terminal stopped with Ctrl-S, a full pipe) is cut
//    short by a timer of the guard's own: a real-time signal that the caller does
//    not ignore, told apart from one another process sends by its cookie. The
//    process's ITIMER_REAL and SIGALRM stay the caller's, and an inherited alarm
//    is an ending signal like any other. Where every real-time signal is ignored,
//    writes go unguarded (they are made only when poll says the stream takes them).
// One guard per process; what a handler reaches is this module's alone.
#ifndef VEMI_ARMED_GUARD_H
#define VEMI_ARMED_GUARD_H

#include <signal.h>

struct GuardPolicy {
    const int* ignored;      // ignored while guarding
    int ignoredCount;
    const int* wakers;       // caught by a handler that does nothing, to end a wait (SIGCHLD)
    int wakerCount;
    void (*onFault)(void);   // a genuine fault's last words, async-signal-safe; may be null
    // What must not outlive the process (a lock file) when the handler itself ends
    // it: at once before the arm, or after a fault's last words. Async-signal-safe;
    // may be null. A program that ends by a caught signal later sees to it itself.
    void (*onEnd)(void);
};

// Installs the handling above. `endAtOnce`: nothing is armed yet, so a caught
// ending signal ends the process at once, by that signal.
void GuardInstall(const GuardPolicy* policy, bool endAtOnce);
// The arm request goes now: from here on a caught ending signal is recorded for
// the program to settle the watchdog first.
void GuardArming(void);

// The first ending signal caught, 0 while none; forgotten again (a stop that
// could not settle the watchdog lets the next signal stop anew).
int GuardEndingSignal(void);
void GuardForgetSignal(void);

// The caught ending signals and the wakers, which a program holds back (blocks)
// outside its waits, so that none comes between a look and a wait.
void GuardSignalsOfWaits(sigset_t* set);

// Puts every disposition back as it was, and ends the write guard. SIGPIPE stays
// ignored with `keepPipeIgnored` (an output that failed is reported, not fatal).
void GuardRelease(bool keepPipeIgnored);

// Around a write that must not wait: past 50 ms it is cut short (EINTR, or the
// bytes written so far). False when the guard's timer could not be set: the
// write is better not made now.
bool GuardWriteBegin(void);
void GuardWriteEnd(void);

// Ends the process as `sig` would have ended it. Writes nothing; async-signal-safe.
[[noreturn]] void EndBySignal(int sig);

#endif
