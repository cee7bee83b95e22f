// The metrics file: what VemiCmd --prometheus /ver /sens /dalv writes, by the same
// reports and the same writer, and vemid's own families, before the success gauge
// that ends every complete file. Written whole every round.
#ifndef VEMID_METRICS_H
#define VEMID_METRICS_H

#include <signal.h>
#include <stddef.h>
#include <stdint.h>

#include "MetricsReport.h"
#include "Shadows.h"
#include "VemiChannel.h"

struct KeeperCounters {
    bool armed;                 // the watchdog is in vemid's hands
    uint64_t feeds;             // retriggers that succeeded
    uint64_t feedFailures;      // retriggers that failed
    uint64_t checkFailures;     // health checks that did not pass
    int64_t lastFeedTime;       // wall clock of the last good feed, 0 before one
    bool checked;               // a health check is set and one has finished:
    bool checkPassed;           //   the latest, and how long it took
    int64_t checkMs;
};

struct MetricsFile {
    const char* path;
    char* board;                // the reports' metrics as last read, success gauge last
    size_t boardLength;
    unsigned writeFailures;     // in a row
    int64_t lastLogMs;
    ShadowWatch shadows;        // other files of its folder that write vemi_ series
    MetricsReportState report;  // the writer's, whose buffers serve every round
};

// Removes what a crashed run left beside the file.
void MetricsFileStart(MetricsFile* file, const char* path);

// Reads the board through the reports. A read during which `abandon` turned
// non-zero (a stop) is dropped, and the last one stands.
void MetricsFileRead(MetricsFile* file, VemiChannel* channel, volatile const sig_atomic_t* abandon);

// Writes the last read with vemid's own families as they are now, after a look
// at the folder for other producers of its series.
void MetricsFileWrite(MetricsFile* file, const KeeperCounters* counters, int64_t nowMs);

#endif
