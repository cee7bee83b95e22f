// The reports: each reads its records through the library's readers, hands each
// to the writer as soon as it is read (so the text shows each line as its read
// completes), and decides the report's result once, for every style: the first
// failure in read order, with the writer's rules for failures and "not supported".
// And the run: the steps a program takes, each a report in the documents, run in
// order by one function for both programs.
#ifndef VEMI_REPORTS_H
#define VEMI_REPORTS_H

#include <stdint.h>

#include "ReportWriter.h"
#include "VemiChannel.h"

// The reports' names in the documents: the JSON document's members and its
// "reports", the metrics' collector label.
constexpr char kReportVersion[] = "version";
constexpr char kReportSensors[] = "sensors";
constexpr char kReportUserEeprom[] = "user_eeprom";
constexpr char kReportUps[] = "ups";
constexpr char kReportWatchdogTest[] = "watchdog_test";
constexpr char kReportDirectCall[] = "direct_call";

// A report read one request at a time: a program that must not be held up (vemid)
// takes a step between its other work; VemiCmd runs each report to its end. Every
// step hands what it read to the writer at once, so the text shows each line as
// its read completes, and the last step decides the report's result, the same
// for every style: the first failure in read order, by the writer's rules for
// failures and "not supported".
enum ReportKind { kVersionReport, kSensorReport, kUpsReport, kUserEepromReport };
struct ReportRead {
    ReportKind kind;
    int stage;          // the report's next request
    bool done;
    uint32_t result;    // once done
    VemiVersionInfo version;
    uint32_t count, sensor, failuresInARow;
    VemiUpsInfo ups;
};
void ReportReadStart(ReportRead* read, ReportKind kind);
// Issues the report's next request, one, and writes what it read. `read->done`
// once the report is complete.
void ReportReadStep(ReportRead* read, VemiChannel* channel, const ReportWriter* w);
// The report's name in the documents.
const char* ReportName(ReportKind kind);

// Each report run to its end.
// The firmware interface's version and the mainboard, which is read only after the
// version was.
uint32_t RunVersionReport(VemiChannel* channel, const ReportWriter* w);

// Every sensor from 1 to the count. No sensors at all is VEMI_NO_SENSORS in the text.
// The walk ends at a failed read, or, where the writer goes on after failures, at
// the third in a row: a board whose reads all fail is not answering, whatever its
// count says.
uint32_t RunSensorReport(VemiChannel* channel, const ReportWriter* w);

// The UPS. A board without one is an answer; the GPIO record not supported too; the
// extended GPIO record not supported is one where the writer says so.
uint32_t RunUpsReport(VemiChannel* channel, const ReportWriter* w);

uint32_t RunUserEepromReport(VemiChannel* channel, const ReportWriter* w);

// Reports read in order, a request a step, each between the writer's begin and
// done records, as RunSteps runs them: a program's whole read of the board.
struct ReportsRead {
    const ReportKind* kinds;
    int count, at;       // the report read now
    ReportRead read;
    uint32_t first;      // the first failure, 0 while none
    bool done;
};
void ReportsReadStart(ReportsRead* reads, const ReportKind* kinds, int count, const ReportWriter* w);
void ReportsReadStep(ReportsRead* reads, VemiChannel* channel, const ReportWriter* w);

// One step of a run.
struct RunStep {
    const char* report;         // its name in the documents; null: in none (the help)
    uint32_t (*run)(void* arg); // its status, 0 for success
    void* arg;
    bool notAfterFailure;       // skipped once a step has failed (the watchdog test)
};

// Runs the steps in order, each between the writer's begin and done records; the
// first failure ends the run, unless the writer goes on after failures. The first
// failure's status, 0 when none.
uint32_t RunSteps(const ReportWriter* w, const RunStep* steps, int count);

// A report of the board as a step (`call` is a BoardReportCall).
struct BoardReportCall {
    uint32_t (*report)(VemiChannel* channel, const ReportWriter* w);
    VemiChannel* channel;
    const ReportWriter* w;
};
uint32_t RunBoardReport(void* call);

#endif
