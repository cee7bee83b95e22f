#include "ArmedWait.h"

#include <poll.h>
#include <unistd.h>

#include "ArmedSignals.h"
#include "HeldOutput.h"
#include "KeyWatch.h"
#include "MonotonicClock.h"

WaitEnd WaitUntil(int64_t untilMs, bool keys, bool signals)
{
    PumpOutput();
    for (;;) {
        if (signals && ArmedEndingSignal() != 0)
            return kWaitSignal;
        int64_t left = untilMs - VemiNowMs();
        if (left <= 0)
            return kWaitDone;
        struct pollfd fds[3];
        int n = 0;
        int key = keys ? KeyWatchFd() : -1;
        if (key >= 0)
            fds[n++] = {key, POLLIN, 0};
        n += PendingOutputFds(fds + n);
        // A caught signal ends the poll early; the loop looks at it above.
        if (poll(n != 0 ? fds : NULL, (nfds_t)n, (int)left) <= 0)
            continue;
        if (key >= 0 && fds[0].revents != 0) {
            if (TakeKey() == 1)
                return kWaitKey;
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                StopKeyWatch();
        }
        PumpOutput();
    }
}
