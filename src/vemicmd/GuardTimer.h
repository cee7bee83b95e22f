// A one-shot timer of the watchdog test's own, which sends `signo` with `cookie`
// in its si_value (si_code SI_TIMER): it cuts short a write that would wait, and
// leaves the process's ITIMER_REAL, and any alarm the caller set, alone.
#ifndef VEMI_GUARD_TIMER_H
#define VEMI_GUARD_TIMER_H

bool GuardTimerCreate(int signo, int cookie);
void GuardTimerSet(long milliseconds); // 0 stops it
void GuardTimerDelete(void);

#endif
