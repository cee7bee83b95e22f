// The one clock every schedule reads: monotonic, so that setting the time of day
// moves no feed, retrigger or timeout.
#ifndef VEMI_MONOTONIC_CLOCK_H
#define VEMI_MONOTONIC_CLOCK_H

#include <stdint.h>
#include <time.h>

inline int64_t VemiNowMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

#endif
