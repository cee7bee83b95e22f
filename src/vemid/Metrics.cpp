#include "Metrics.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "AtomicFile.h"
#include "Log.h"
#include "MetricsReport.h"
#include "Reports.h"

namespace {

struct Round {
    VemiChannel* channel;
    const KeeperCounters* counters;
};

void Number(const char* name, const char* type, const char* help, uint64_t value)
{
    char text[24];
    snprintf(text, sizeof(text), "%llu", (unsigned long long)value);
    MetricsReportFamily(name, type, help, text);
}

void Fill(FILE* out, void* context)
{
    const Round* r = (const Round*)context;
    ReportWriter w = MetricsReportWriter(out);
    WriteBegin(&w);
    uint32_t first = 0;
    const struct {
        const char* name;
        uint32_t (*run)(VemiChannel*, const ReportWriter*);
    } reports[] = {{"version", RunVersionReport}, {"sensors", RunSensorReport}, {"ups", RunUpsReport}};
    for (const auto& report : reports) {
        WRITE(&w, reportBegin, report.name);
        uint32_t status = report.run(r->channel, &w);
        WRITE(&w, reportDone, report.name, status == 0);
        first = first != 0 ? first : status;
    }
    const KeeperCounters* c = r->counters;
    Number("vemid_watchdog_armed", "gauge", "Whether vemid holds the watchdog armed (1) or not (0).", c->armed);
    Number("vemid_feeds_total", "counter", "Retriggers of the watchdog that succeeded.", c->feeds);
    Number("vemid_feed_failures_total", "counter", "Retriggers of the watchdog that failed.", c->feedFailures);
    Number("vemid_last_feed_timestamp_seconds", "gauge", "When the watchdog was last retriggered, in Unix seconds.",
           (uint64_t)c->lastFeedTime);
    Number("vemid_health_check_failures_total", "counter", "Health checks that did not pass, so fed nothing.",
           c->checkFailures);
    WRITE(&w, end, first == 0 ? 0 : 1);
}

} // namespace

void WriteMetricsFile(const char* path, VemiChannel* channel, const KeeperCounters* counters)
{
    static bool failing = false;
    Round round = {channel, counters};
    if (WriteFileWhole(path, Fill, &round)) {
        failing = false;
    } else if (!failing) {
        failing = true;
        Log(kLogError, "%s: cannot write: %s", path, strerror(errno));
    }
}
