#include "ArmedWait.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include "ArmedSignals.h"
#include "HeldOutput.h"
#include "KeyWatch.h"

static long long NowMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// The second is over when a sleep or poll returns having waited its whole time, not
// by the clock alone: under a clock that skips waits, that return is what counts.
WaitEnd WaitOneSecond(bool keys)
{
    PumpOutput();
    long long deadline = NowMs() + 1000;
    for (bool whole = true;; whole = false) {
        if (ArmedEndingSignal() != 0)
            return kWaitSignal;
        long long left = deadline - NowMs();
        if (left <= 0)
            return kWaitDone;
        struct pollfd fds[3];
        int n = 0;
        bool watching = keys && KeysWatched();
        if (watching)
            fds[n++] = {STDIN_FILENO, POLLIN, 0};
        n += PendingOutputFds(fds + n);
        if (n == 0 && whole) {
            if (sleep(1) == 0)
                return kWaitDone;
            continue; // woken early by a signal that ends nothing
        }
        int rc = poll(fds, (nfds_t)n, (int)left);
        if (rc == 0)
            return kWaitDone;
        if (rc < 0)
            continue; // a signal: looked at above
        if (watching && fds[0].revents != 0) {
            if (TakeKey() == 1)
                return kWaitKey;
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                StopKeyWatch();
        }
        PumpOutput();
    }
}
