#include "ArmedWait.h"

#include <poll.h>
#include <signal.h>

#include "ArmedGuard.h"
#include "HeldOutput.h"
#include "KeyWatch.h"
#include "MonotonicClock.h"
#include "SignalWait.h"

bool WaitUntil(int64_t untilMs, bool keys, bool signals)
{
    PumpOutput();
    sigset_t held, open;
    GuardSignalsOfWaits(&held);
    sigprocmask(SIG_BLOCK, &held, &open);
    bool key = false;
    while (!(signals && GuardEndingSignal() != 0) && VemiNowMs() < untilMs) {
        struct pollfd fds[3];
        int n = 0;
        int keyFd = keys ? KeyWatchFd() : -1;
        if (keyFd >= 0)
            fds[n++] = {keyFd, POLLIN, 0};
        n += PendingOutputFds(fds + n);
        if (VemiWaitUnder(fds, n, untilMs, &open) <= 0)
            continue; // the time, or a signal: the loop looks at both
        if (keyFd >= 0 && fds[0].revents != 0) {
            if ((key = TakeKey() == 1))
                break;
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                StopKeyWatch();
        }
        PumpOutput();
    }
    sigprocmask(SIG_SETMASK, &open, nullptr);
    return key;
}
