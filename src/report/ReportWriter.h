// How a report reaches its reader: one writer per output style (text, a JSON
// document, metrics), each a table of functions that take the readers' structures
// as the reports read them, and render what the readers and the reports decided
// they mean. A function left null does nothing in that style. The reports
// (Reports.h) call them; a program chooses the writer.
#ifndef VEMI_REPORT_WRITER_H
#define VEMI_REPORT_WRITER_H

#include <stdint.h>

#include "RunStreams.h"
#include "VemiReaders.h"

struct RunRecord;

enum WatchdogOutcome { kWdtNotArmed, kWdtCompleted, kWdtRetriggerFailed, kWdtKeyPressed, kWdtSignal };
struct WatchdogTestRecord {
    uint8_t seconds, interval; // armed time and retrigger interval
    uint32_t retriggers;       // done
    WatchdogOutcome outcome;
    int signal;                // for kWdtSignal
    bool disarmed;             // a disarm was sent
    uint32_t disarmStatus;
};

struct DirectCallRecord {
    uint32_t group, offset;
    const uint8_t* in;
    uint32_t inLen;
    const uint8_t* out; // null when there is no output area
    uint32_t outLen;
    uint32_t result, returned;
};

struct ReportWriter {
    // The style's rules: every report runs and the sensor walk goes on past a failed
    // read; a record the board reports as not supported is no failure; a record
    // shorter than its fields, or a value that cannot be, is one, and no sensors at
    // all an answer (a writer tells them from each read's VemiRead and the
    // readers' values); the bare forms.
    bool goOnAfterFailure;
    bool notSupportedIsAnswer;
    bool strictRecords;
    bool bare;

    // Where it prints, the caller's; the style's own state (what a document keeps
    // until its end), which the caller of the style's constructor owns; and the run
    // as the documents keep it. Both null for the text.
    RunStreams* streams;
    void* state;
    RunRecord* record;

    // The run: its start and end (an exit status below 0: ended by the signal
    // -exitStatus), the failed open, each report asked for and how it ended, and a
    // failure of the program's own operations (the watchdog test, the direct call).
    void (*begin)(const ReportWriter* w);
    void (*end)(const ReportWriter* w, int exitStatus);
    void (*openFailed)(const ReportWriter* w, int error);
    void (*reportRequested)(const ReportWriter* w, const char* name);
    void (*reportBegin)(const ReportWriter* w, const char* name);
    void (*reportDone)(const ReportWriter* w, const char* name, bool succeeded);
    void (*reportSkipped)(const ReportWriter* w, const char* name);
    void (*failure)(const ReportWriter* w, const char* operation, int64_t status, const char* message);

    // The reports, as each read completes. The mainboard comes also when it was not
    // read (board null: the version read failed).
    void (*versionRead)(const ReportWriter* w, const VemiVersionInfo* version);
    void (*mainboardRead)(const ReportWriter* w, const VemiVersionInfo* version, const VemiMainboardInfo* board);
    void (*sensorCountRead)(const ReportWriter* w, const VemiSensorCountInfo* counted);
    void (*sensorRead)(const ReportWriter* w, const VemiSensorInfo* sensor);
    void (*sensorsDone)(const ReportWriter* w, uint32_t result);
    void (*upsStateRead)(const ReportWriter* w, const VemiUpsInfo* ups);
    void (*upsGpioRead)(const ReportWriter* w, const VemiUpsInfo* ups);
    void (*upsGpioExRead)(const ReportWriter* w, const VemiUpsInfo* ups);
    void (*upsDone)(const ReportWriter* w, const VemiUpsInfo* ups);
    void (*userEepromRead)(const ReportWriter* w, const VemiUserEepromInfo* eeprom);
    void (*watchdogTest)(const ReportWriter* w, const WatchdogTestRecord* test);
    void (*directCall)(const ReportWriter* w, const DirectCallRecord* call);
};

// Calls a writer's function when the style has one.
#define WRITE(w, fn, ...)            \
    do {                             \
        if ((w)->fn != NULL)         \
            (w)->fn(w, __VA_ARGS__); \
    } while (0)

inline void WriteBegin(const ReportWriter* w)
{
    if (w->begin != NULL)
        w->begin(w);
}

#endif
