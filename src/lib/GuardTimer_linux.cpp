#include "GuardTimer.h"

#include <signal.h>
#include <time.h>

namespace {
timer_t sTimer;
}

bool GuardTimerCreate(int signo, int cookie)
{
    struct sigevent event = {};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = signo;
    event.sigev_value.sival_int = cookie;
    return timer_create(CLOCK_MONOTONIC, &event, &sTimer) == 0;
}

bool GuardTimerSet(long milliseconds)
{
    struct itimerspec once = {{0, 0}, {milliseconds / 1000, (milliseconds % 1000) * 1000000}};
    return timer_settime(sTimer, 0, &once, nullptr) == 0;
}

void GuardTimerDelete(void)
{
    timer_delete(sTimer);
}
