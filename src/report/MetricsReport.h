// The reports as Prometheus metrics, in the text exposition format: each family
// with its HELP (which names the unit) and TYPE lines, then its samples; written
// whole at the end of the run, the success gauge last, so that a file whose last
// line is something else was cut short. Every report runs; a record the board
// does not have is an answer.
#ifndef VEMI_METRICS_REPORT_H
#define VEMI_METRICS_REPORT_H

#include <stdio.h>

#include "ReportWriter.h"

// Writes to `out`, or to standard output when it is null; `version` is the
// writing program's, for vemi_build_info.
ReportWriter MetricsReportWriter(FILE* out, const char* version);

#endif
