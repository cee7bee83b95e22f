// The UPS for NUT: read every -p, a request at a time, what each answer means
// decided here once, and each change handed at once to the sinks that tell NUT
// (the dummy-ups file, NUT's driver socket).
//
// A round reads the status (state and charge), then the power-fail counter; a
// change is published as soon as the request that shows it is answered. When
// vemid has no state to give (before the first read, after reads have failed for
// kUpsStaleAfterMs, after the stop, on a board without a UPS), NUT is told none,
// with the reason. A shorter run of failed reads changes nothing NUT sees: the
// last state stands.
#ifndef VEMID_UPS_WATCH_H
#define VEMID_UPS_WATCH_H

#include <stdint.h>

#include "VemiChannel.h"
#include "VemiReaders.h"

const int64_t kUpsStaleAfterMs = 10000; // failed or unknown reads, counted from the first
const int64_t kUpsRetryMs = 1000;       // a failed read is asked again this soon

enum UpsLine { kLineUnknown, kLineOnline, kLineOnBattery, kLineLowBattery, kLineNoBackup, kLineNoUps };

// What NUT is told.
struct UpsState {
    UpsLine line;            // kLineUnknown: no state
    const char* noStateWhy;  // why there is none; null while there is one
    int charge;              // percent; -1: none
    int counter;             // power failures counted; -1: none
    int lowPercent;          // -L
    char mfr[20], model[40]; // from the mainboard: printable ASCII, quote and backslash escaped
};

struct UpsSink {
    void* context;
    void (*publish)(void* context, const UpsState* state, int64_t nowMs);
};

struct UpsWatch {
    int64_t periodMs;
    UpsState state;          // as the sinks were last told
    bool inRound;            // the status was read: the counter is next
    int64_t nextRead;
    int64_t failingSinceMs;  // the first of the failed reads in a row; 0 while they succeed
    UpsSink sinks[2];
    int sinkCount;
};

// No state yet ("vemid is starting"), the first read due at `nowMs`.
void UpsWatchInit(UpsWatch* watch, int lowPercent, int periodSeconds, int64_t nowMs);
void UpsWatchAddSink(UpsWatch* watch, UpsSink sink);
// The mainboard, for the manufacturer and model NUT shows.
void UpsWatchSetBoard(UpsWatch* watch, const VemiMainboardInfo* board);

// When the next request is due.
int64_t UpsWatchDue(const UpsWatch* watch);
// The next request of the round, one, and what it means for NUT.
void UpsWatchStep(UpsWatch* watch, VemiChannel* channel, int64_t nowMs);
// A whole round at once (the start, before NUT's driver may look).
void UpsWatchRound(UpsWatch* watch, VemiChannel* channel, int64_t nowMs);
// NUT is told there is no state, and why (a stop, a start that failed).
void UpsWatchNoState(UpsWatch* watch, const char* why, int64_t nowMs);

#endif
