// The metrics file: what VemiCmd --prometheus /ver /sens /dalv writes, by the same
// reports and the same writer, and vemid's own. Written whole after each round.
#ifndef VEMID_METRICS_H
#define VEMID_METRICS_H

#include <stdint.h>

#include "VemiChannel.h"

struct KeeperCounters {
    bool armed;                 // the watchdog is in vemid's hands
    uint64_t feeds;             // retriggers that succeeded
    uint64_t feedFailures;      // retriggers that failed
    uint64_t checkFailures;     // health checks that did not pass
    int64_t lastFeedTime;       // wall clock of the last good feed, 0 before one
};

void WriteMetricsFile(const char* path, VemiChannel* channel, const KeeperCounters* counters);

#endif
