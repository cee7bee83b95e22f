#include "RunRecord.h"

#include <stdio.h>
#include <string.h>

#include "ReportWriter.h"

namespace {

RunReport* Find(RunRecord* r, const char* name)
{
    for (int i = 0; i < r->reportCount; i++)
        if (strcmp(r->reports[i].name, name) == 0)
            return &r->reports[i];
    return NULL;
}

void Request(const ReportWriter* w, const char* name)
{
    RunRecord* r = w->record;
    if (Find(r, name) != NULL || r->reportCount == RUN_MAX_REPORTS)
        return;
    RunReport& report = r->reports[r->reportCount++];
    snprintf(report.name, sizeof(report.name), "%s", name);
    report.state = kReportNotRun;
}

void Begin(const ReportWriter* w, const char* name)
{
    Request(w, name);
    w->record->current = name;
}

void Done(const ReportWriter* w, const char* name, bool succeeded)
{
    RunReport* report = Find(w->record, name);
    if (report != NULL)
        report->state = succeeded ? kReportSucceeded : kReportFailed;
    w->record->current = "";
}

} // namespace

ReportWriter DocumentWriter(void* state, RunRecord* record)
{
    *record = RunRecord();
    record->current = "";
    ReportWriter w = {};
    w.goOnAfterFailure = true;
    w.notSupportedIsAnswer = true;
    w.strictRecords = true;
    w.state = state;
    w.record = record;
    w.reportRequested = Request;
    w.reportBegin = Begin;
    w.reportDone = Done;
    return w;
}

void RunRecordFailure(RunRecord* r, const char* operation, int64_t status, const char* message, uint32_t sensor,
                      int error)
{
    if (r->failureCount < RUN_MAX_FAILURES) {
        RunFailure& f = r->failures[r->failureCount];
        snprintf(f.report, sizeof(f.report), "%s", r->current != NULL ? r->current : "");
        f.sensor = sensor;
        snprintf(f.operation, sizeof(f.operation), "%s", operation);
        f.status = status;
        f.error = error;
        snprintf(f.message, sizeof(f.message), "%s", message);
    }
    r->failureCount++;
}
