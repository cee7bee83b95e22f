#include "GuardTimer.h"

#include <signal.h>
#include <time.h>

// The kernel's timers, which FreeBSD's C library exports as such; timer_create(2)
// wraps them in librt, which the tool does without.
extern "C" {
int ktimer_create(clockid_t clock, struct sigevent* event, int* timer);
int ktimer_settime(int timer, int flags, const struct itimerspec* value, struct itimerspec* old);
int ktimer_delete(int timer);
}

namespace {
int sTimer = -1;
}

bool GuardTimerCreate(int signo, int cookie)
{
    struct sigevent event = {};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = signo;
    event.sigev_value.sival_int = cookie;
    return ktimer_create(CLOCK_MONOTONIC, &event, &sTimer) == 0;
}

bool GuardTimerSet(long milliseconds)
{
    struct itimerspec once = {{0, 0}, {milliseconds / 1000, (milliseconds % 1000) * 1000000}};
    return ktimer_settime(sTimer, 0, &once, nullptr) == 0;
}

void GuardTimerDelete(void)
{
    ktimer_delete(sTimer);
    sTimer = -1;
}
