// The reports as text, line by line as each read completes: for people, and for
// the scripts that parse it. The first failure ends the run; "not supported" of the
// extended GPIO record is one.
#ifndef VEMI_TEXT_REPORT_H
#define VEMI_TEXT_REPORT_H

#include "ReportWriter.h"

// Prints to `streams`; `bare`: silent mode's bare hex dump.
ReportWriter TextReportWriter(RunStreams* streams, bool bare);

#endif
