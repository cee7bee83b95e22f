// One run of VemiCmd as a plain record: what the tool keeps for a run besides the
// program state (ProgramState.h, and the channel's gVemix_dev and gDebugMode).
// TVemiRun() is the start of a run. What a module holds (held output, the terminal's
// modes, the guard's timer, a writer's buffers) it releases itself at the end of
// the run, so that starting a run again is setting this record and the program
// state back (ResetProgramState), without a word to any module.
#ifndef VEMI_RUN_STATE_H
#define VEMI_RUN_STATE_H

#include <stdint.h>

#include "HeldOutput.h"
#include "JsonReport.h"
#include "KeyWatch.h"
#include "LockFile.h"
#include "MetricsReport.h"
#include "ReportWriter.h"
#include "RunStreams.h"
#include "VemiTransport.h"

enum OutputStyle { kStyleText, kStyleJson, kStyleJsonPretty, kStylePrometheus };
// --help and --version: answered before anything else, the device never opened.
enum LongRequest { kRequestNone, kRequestHelp, kRequestVersion };

struct TVemiRun {
    const VemiTransport* transport; // how requests reach the board: the program's choice
    RunStreams streams;             // where the run reads and writes
    // The command line's long options.
    LongRequest longRequest;
    const char* lockPath;           // --lock-file; null: VEMI_WATCHDOG_LOCK
    const char* publishPath;        // --prometheus-file; null: the document goes to standard output
    char* publishBytes;             // the document, while the run writes it (PublishFile.h)
    size_t publishSize;
    OutputStyle style;
    ReportWriter writer;            // the style's, which every report writes through
    JsonReportState json;           // the document writers' states
    MetricsReportState metrics;
    // The channel's words.
    bool channelToStderr;           // its own lines (open failure, debug trace) go to standard error
    bool openFailureInDocument;     // VemiInit's failure is the document's to tell, not a line
    int openError;                  // the error number of VemiInit's failed open; 0 otherwise
    void (*errorSink)(const char* what, uint32_t status, const char* line); // takes PrintVemiError's line
    THeldOutput held;               // the output held while the watchdog is armed
    TKeyWatch keys;                 // the watchdog test's watch for a key
    LockFile watchdogLock;          // the watchdog test's, while taken
};
extern TVemiRun gRun;

#endif
