#include "RunRecord.h"

#include <stdio.h>
#include <string.h>

#include "ReportWriter.h"

RunRecord gRun = {};

static RunReport* Find(const char* name)
{
    for (int i = 0; i < gRun.reportCount; i++)
        if (strcmp(gRun.reports[i].name, name) == 0)
            return &gRun.reports[i];
    return NULL;
}


static void Request(const ReportWriter*, const char* name)
{
    if (Find(name) != NULL || gRun.reportCount == RUN_MAX_REPORTS)
        return;
    RunReport& r = gRun.reports[gRun.reportCount++];
    snprintf(r.name, sizeof(r.name), "%s", name);
    r.state = kReportNotRun;
}

static void Begin(const ReportWriter* w, const char* name)
{
    Request(w, name);
    gRun.current = name;
}

static void Done(const ReportWriter*, const char* name, bool succeeded)
{
    RunReport* r = Find(name);
    if (r != NULL)
        r->state = succeeded ? kReportSucceeded : kReportFailed;
    gRun.current = "";
}

void RunRecordAttach(ReportWriter* w)
{
    gRun = RunRecord();
    gRun.current = "";
    w->reportRequested = Request;
    w->reportBegin = Begin;
    w->reportDone = Done;
}

void RunRecordFailure(const char* operation, int64_t status, const char* message, uint32_t sensor, int error)
{
    if (gRun.failureCount < RUN_MAX_FAILURES) {
        RunFailure& f = gRun.failures[gRun.failureCount];
        snprintf(f.report, sizeof(f.report), "%s", gRun.current != NULL ? gRun.current : "");
        f.sensor = sensor;
        snprintf(f.operation, sizeof(f.operation), "%s", operation);
        f.status = status;
        f.error = error;
        snprintf(f.message, sizeof(f.message), "%s", message);
    }
    gRun.failureCount++;
}
