// The metrics file: what VemiCmd --prometheus /ver /sens /dalv writes, by the same
// reports and the same writer, and vemid's own families, before the success gauge
// that ends every complete file. The board is read a request a step, once a round;
// the file is written whole when a read is complete.
#ifndef VEMID_METRICS_H
#define VEMID_METRICS_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "Log.h"
#include "MetricsReport.h"
#include "Reports.h"
#include "Shadows.h"
#include "VemiChannel.h"

// A read of the board is cut short past either bound (a firmware that counts more
// sensors than it has): its remaining requests fail at once, and the collectors say so.
const int64_t kMetricsReadLimitMs = 10000;
const uint32_t kMetricsReadLimitRequests = 1100; // 1024 sensors and the rest

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
    // The read under way.
    int64_t nextRead;           // the next round's start
    bool reading, readDone;
    int64_t readStartMs;
    uint32_t readRequests;
    RunStreams streams;         // the read's document, in memory
    char* text;
    size_t length;
    ReportWriter w;
    ReportsRead reads;
    LogThrottle cutLog;
};

// Removes what a crashed run left beside the file; the first read is due at `nowMs`.
void MetricsFileStart(MetricsFile* file, const char* path, int64_t nowMs);

// When the next step is due: the read's next request, the write of a complete
// read, or the next round.
int64_t MetricsFileDue(const MetricsFile* file);

// One step: a request of the read, or the write of a complete one with vemid's
// own families as they are now. A round is `roundMs` from the start of its read,
// or from its end when it took longer (the driver then rests a round).
void MetricsFileStep(MetricsFile* file, VemiChannel* channel, const KeeperCounters* counters, int64_t nowMs,
                     int64_t roundMs);

// A stop: the read under way is dropped, and the last complete one stands.
void MetricsFileAbandon(MetricsFile* file);

// The end: the file stays; the memory of its reads goes.
void MetricsFileClose(MetricsFile* file);

// Writes the last complete read with vemid's own families as they are now, after
// a look at the folder for other producers of its series.
void MetricsFileWrite(MetricsFile* file, const KeeperCounters* counters, int64_t nowMs);

// vemid's own families, as the file has them.
void WriteOwnFamilies(FILE* out, const KeeperCounters* counters, unsigned shadowingFiles);

#endif
