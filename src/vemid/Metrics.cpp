#include "Metrics.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "WholeFile.h"
#include "PromWriter.h"
#include "ReservedFile.h"
#include "ToolVersion.h"

namespace {

const char kSuccessFamily[] = "# HELP vemi_success ";
const ReportKind kReports[] = {kVersionReport, kSensorReport, kUpsReport};

// The requests of a read cut short: each fails at once, without the driver.
uint32_t CutShort(void*, int, vemix_struct*)
{
    return ETIMEDOUT;
}
const VemiTransport kCutShort = {nullptr, nullptr, CutShort};

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

void BeginRead(MetricsFile* f, int64_t nowMs)
{
    f->text = NULL;
    f->length = 0;
    f->streams = RunStreams();
    f->streams.out = open_memstream(&f->text, &f->length);
    if (f->streams.out == NULL) {
        f->nextRead = nowMs + 1000;
        return;
    }
    f->w = MetricsReportWriter(&f->report, &f->streams, VEMI_VERSION_TEXT);
    WriteBegin(&f->w);
    ReportsReadStart(&f->reads, kReports, 3, &f->w);
    f->reading = true;
    f->readDone = false;
    f->readStartMs = nowMs;
    f->readRequests = 0;
}

// The read is complete: its document ends, and stands as the board's metrics.
void EndRead(MetricsFile* f)
{
    WRITE(&f->w, end, f->reads.first == 0 ? 0 : 1);
    bool whole = fclose(f->streams.out) == 0 && f->text != NULL && strstr(f->text, kSuccessFamily) != NULL;
    f->streams.out = NULL;
    if (whole) {
        free(f->board);
        f->board = f->text;
        f->boardLength = f->length;
    } else {
        free(f->text);
    }
    f->text = NULL;
    f->readDone = true;
}

void ReadStep(MetricsFile* f, VemiChannel* channel, int64_t nowMs)
{
    if (nowMs - f->readStartMs > kMetricsReadLimitMs || f->readRequests >= kMetricsReadLimitRequests) {
        if (LogAllowed(&f->cutLog, nowMs))
            Log(kLogWarning, "the metrics' read of the board was cut short after %u requests", f->readRequests);
        VemiChannel cut = VemiChannelOn(&kCutShort);
        while (!f->reads.done)
            ReportsReadStep(&f->reads, &cut, &f->w);
    } else {
        f->readRequests++;
        ReportsReadStep(&f->reads, channel, &f->w);
    }
    if (f->reads.done)
        EndRead(f);
}

} // namespace

void WriteOwnFamilies(FILE* out, const KeeperCounters* c, unsigned shadowingFiles)
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

void MetricsFileStart(MetricsFile* f, const char* path, int64_t nowMs)
{
    *f = MetricsFile(); // the writer's state zeroed too, as it must be before its first use
    f->path = path;
    f->nextRead = nowMs;
    RemoveLeftoverTemporaries(path);
}

int64_t MetricsFileDue(const MetricsFile* f)
{
    return f->reading ? f->readStartMs : f->nextRead; // a read under way goes on at once
}

void MetricsFileStep(MetricsFile* f, VemiChannel* channel, const KeeperCounters* c, int64_t nowMs, int64_t roundMs)
{
    if (!f->reading) {
        BeginRead(f, nowMs);
        if (!f->reading)
            return;
    }
    if (!f->readDone) {
        ReadStep(f, channel, nowMs);
        return;
    }
    // Written in a step of its own, so that a feed due meanwhile goes first.
    MetricsFileWrite(f, c, nowMs);
    f->reading = false;
    f->nextRead = f->readStartMs + roundMs > nowMs ? f->readStartMs + roundMs : nowMs + roundMs;
}

void MetricsFileAbandon(MetricsFile* f)
{
    if (!f->reading)
        return;
    if (f->streams.out != NULL)
        fclose(f->streams.out);
    free(f->text);
    f->streams.out = NULL;
    f->text = NULL;
    f->reading = false;
}

void MetricsFileClose(MetricsFile* f)
{
    MetricsFileAbandon(f);
    free(f->board);
    f->board = NULL;
    MetricsReportRelease(&f->report);
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
    WriteOwnFamilies(out, c, f->shadows.count);
    fputs(success, out);
    bool ready = fclose(out) == 0 && text != NULL;
    if (ready && WriteFileWhole(f->path, kTemporaryMark, text, length)) {
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
