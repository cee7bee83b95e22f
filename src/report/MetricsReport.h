// The reports as Prometheus metrics, in the text exposition format: each family
// with its HELP (which names the unit) and TYPE lines, then its samples; written
// whole at the end of the run, the success gauge last, so that a file whose last
// line is something else was cut short. Every report runs; a record the board
// does not have is an answer.
#ifndef VEMI_METRICS_REPORT_H
#define VEMI_METRICS_REPORT_H

#include <stdio.h>

#include "ReportWriter.h"
#include "RunRecord.h"

// What the writer keeps until its end: each family's samples, gathered as a
// family's samples must stand together.
const int kMetricsFamilyCount = 19;
struct MetricsSamples {
    char* text;
    size_t length, capacity;
};
struct MetricsReportState {
    MetricsSamples samples[kMetricsFamilyCount];
    bool lost;          // a sample could not be kept (no memory): the document is not whole
    const char* version;
    RunRecord record;
};

// Writes to `streams`' output; `version` is the writing program's, for
// vemi_build_info. A document that lost a sample (no memory) goes without its
// success gauge, as one cut short does. `state` is the caller's, zeroed before
// its first use and kept as long as the writer is used; a state used before keeps
// its buffers.
ReportWriter MetricsReportWriter(MetricsReportState* state, RunStreams* streams, const char* version);

// Lets the state's buffers go (a program that keeps none to its end).
void MetricsReportRelease(MetricsReportState* state);

#endif
