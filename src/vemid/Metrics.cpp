#include "Metrics.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "AtomicFile.h"
#include "Log.h"
#include "MetricsReport.h"
#include "PromWriter.h"
#include "ReservedFile.h"
#include "Reports.h"
#include "ToolVersion.h"

namespace {

const char kSuccessFamily[] = "# HELP vemi_success ";

void Own(FILE* out, const char* name, const char* type, const char* help, const char* value)
{
    char line[160];
    PromFamily(out, name, type, help);
    if (PromSampleLine(line, sizeof(line), name, "", value) < (int)sizeof(line))
        fputs(line, out);
}

void OwnNumber(FILE* out, const char* name, const char* type, const char* help, uint64_t value)
{
    char text[24];
    snprintf(text, sizeof(text), "%llu", (unsigned long long)value);
    Own(out, name, type, help, text);
}

void OwnFamilies(FILE* out, const KeeperCounters* c, unsigned shadowingFiles)
{
    OwnNumber(out, "vemid_metrics_shadowing_files", "gauge",
              "Other files in this file's folder that write vemi_ series, which node_exporter serves from one file "
              "alone: 0 is right.", shadowingFiles);
    OwnNumber(out, "vemid_watchdog_armed", "gauge", "Whether vemid holds the watchdog armed (1) or not (0).", c->armed);
    OwnNumber(out, "vemid_feeds_total", "counter", "Retriggers of the watchdog that succeeded.", c->feeds);
    OwnNumber(out, "vemid_feed_failures_total", "counter", "Retriggers of the watchdog that failed.", c->feedFailures);
    OwnNumber(out, "vemid_last_feed_timestamp_seconds", "gauge",
              "When the watchdog was last retriggered, in Unix seconds.", (uint64_t)c->lastFeedTime);
    OwnNumber(out, "vemid_health_check_failures_total", "counter", "Health checks that did not pass, so fed nothing.",
              c->checkFailures);
    if (!c->checked)
        return;
    OwnNumber(out, "vemid_health_check_success", "gauge", "Whether the latest health check passed (1) or not (0).",
              c->checkPassed);
    char seconds[24];
    snprintf(seconds, sizeof(seconds), "%lld.%03lld", (long long)(c->checkMs / 1000), (long long)(c->checkMs % 1000));
    Own(out, "vemid_health_check_duration_seconds", "gauge", "How long the latest health check ran, in seconds.",
        seconds);
}

} // namespace

void MetricsFileStart(MetricsFile* f, const char* path)
{
    *f = MetricsFile(); // the writer's state zeroed too, as it must be before its first use
    f->path = path;
    RemoveLeftoverTemporaries(path);
}

void MetricsFileRead(MetricsFile* f, VemiChannel* channel, volatile const sig_atomic_t* abandon)
{
    char* text = NULL;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    if (out == NULL)
        return;
    ReportWriter w = MetricsReportWriter(&f->report, out, VEMI_VERSION_TEXT);
    WriteBegin(&w);
    BoardReportCall calls[] = {{RunVersionReport, channel, &w}, {RunSensorReport, channel, &w},
                               {RunUpsReport, channel, &w}};
    const RunStep steps[] = {{kReportVersion, RunBoardReport, &calls[0], false},
                             {kReportSensors, RunBoardReport, &calls[1], false},
                             {kReportUps, RunBoardReport, &calls[2], false}};
    uint32_t first = RunSteps(&w, steps, 3);
    WRITE(&w, end, first == 0 ? 0 : 1);
    bool whole = fclose(out) == 0 && *abandon == 0 && text != NULL && strstr(text, kSuccessFamily) != NULL;
    if (!whole) {
        free(text);
        return;
    }
    free(f->board);
    f->board = text;
    f->boardLength = length;
}

void MetricsFileWrite(MetricsFile* f, const KeeperCounters* c, int64_t nowMs)
{
    if (f->board == NULL)
        return;
    char* text = NULL;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    if (out == NULL)
        return;
    ShadowsScan(&f->shadows, f->path, nowMs);
    const char* success = strstr(f->board, kSuccessFamily);
    fwrite(f->board, 1, (size_t)(success - f->board), out);
    OwnFamilies(out, c, f->shadows.count);
    fputs(success, out);
    bool ready = fclose(out) == 0 && text != NULL;
    if (ready && WriteFileWhole(f->path, text, length)) {
        if (f->writeFailures != 0)
            Log(kLogNotice, "%s: written again after %u failures", f->path, f->writeFailures);
        f->writeFailures = 0;
    } else if (f->writeFailures++ == 0 || nowMs - f->lastLogMs >= 60000) {
        Log(kLogError, "%s: cannot write: %s (%u in a row)", f->path, strerror(ready ? errno : ENOMEM),
            f->writeFailures);
        f->lastLogMs = nowMs;
    }
    free(text);
}
