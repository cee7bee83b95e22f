// A one-shot timer of the armed guard's own (ArmedGuard.h), which sends `signo`
// with `cookie` in its si_value (si_code SI_TIMER): it cuts short a write that
// would wait, and leaves the process's ITIMER_REAL, and any alarm the caller set,
// alone.
#ifndef VEMI_GUARD_TIMER_H
#define VEMI_GUARD_TIMER_H

bool GuardTimerCreate(int signo, int cookie);
bool GuardTimerSet(long milliseconds); // 0 stops it; false when the system refused
void GuardTimerDelete(void);

#endif
