#include "SignalWait.h"

#include <stddef.h>
#include <time.h>

#include "MonotonicClock.h"

void VemiWakeOnContinue(int) {}

int VemiWaitUnder(struct pollfd* fds, int count, int64_t untilMs, const sigset_t* during)
{
    struct timespec wait, *limit = NULL;
    if (untilMs >= 0) {
        int64_t left = untilMs - VemiNowMs();
        if (left < 0)
            left = 0; // still a look at the signals held back
        wait.tv_sec = (time_t)(left / 1000);
        wait.tv_nsec = (long)(left % 1000) * 1000000;
        limit = &wait;
    }
    return ppoll(count != 0 ? fds : NULL, (nfds_t)count, limit, during);
}
