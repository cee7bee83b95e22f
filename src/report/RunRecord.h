// What the documents keep of a run until their end, where they write it: the
// reports asked for and how each ended, the failures, and a failed open's error.
// Each document writer holds one in its state.
#ifndef VEMI_RUN_RECORD_H
#define VEMI_RUN_RECORD_H

#include <stdint.h>

enum ReportState { kReportNotRun, kReportSucceeded, kReportFailed };
struct RunReport {
    char name[16];
    ReportState state;
};

struct RunFailure {
    char report[16];    // the report it belongs to; empty: the run's own
    uint32_t sensor;    // the sensor whose read failed; 0: none
    char operation[64];
    int64_t status;
    int error;          // a failed open's error number; 0: none
    char message[192];
};

#define RUN_MAX_REPORTS 8
#define RUN_MAX_FAILURES 32 // more are counted, not kept

struct RunRecord {
    RunReport reports[RUN_MAX_REPORTS];
    int reportCount;
    RunFailure failures[RUN_MAX_FAILURES];
    int failureCount;
    const char* current; // the report running now, "" between reports
    int openError;       // the device node's failed open; 0 once open
};

struct ReportWriter;
// The start of a document's writer (JSON, metrics): the rules of the machine-
// readable styles (every report runs, the sensor walk goes on past a failure, "not
// supported" is an answer, a short record or a value that cannot be is a failure),
// the writer's state, and `record`, emptied, in which the writer keeps each report
// asked for (in table order, before anything runs), when it begins and how it ends.
ReportWriter DocumentWriter(void* state, RunRecord* record);
// A failure of the report running now; `sensor` and `error` 0 where none.
void RunRecordFailure(RunRecord* record, const char* operation, int64_t status, const char* message,
                      uint32_t sensor, int error);

#endif
