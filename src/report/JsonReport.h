// The reports as one JSON document on a run's output: each report's member as it
// ends, then which reports succeeded, the failures and the exit status. Every
// report runs; a record the board does not have is an answer.
#ifndef VEMI_JSON_REPORT_H
#define VEMI_JSON_REPORT_H

#include "JsonWriter.h"
#include "ReportWriter.h"
#include "RunRecord.h"

// What the writer keeps while its document is written.
struct JsonReportState {
    JsonOut out;
    const char* toolName;
    const char* toolVersion;
    bool pretty;
    bool started;       // a document is open
    bool sensorsListed; // the sensors' list is open
    RunRecord record;
};

// The tool that writes the document names itself in it; `state` is the caller's,
// kept as long as the writer is used; the document goes to `streams`.
ReportWriter JsonReportWriter(JsonReportState* state, RunStreams* streams, bool pretty, const char* toolName,
                              const char* toolVersion);

#endif
