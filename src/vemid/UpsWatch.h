// The UPS for NUT: read every -p, a request at a time, what each answer means
// decided here once, and each change handed at once to the sinks that tell NUT
// (the dummy-ups file, NUT's driver socket).
//
// A round reads the status (state and charge), then the power-fail counter (and
// the UPS's version, until it is known); a change is published as soon as the
// request that shows it is answered. A status read that fails, an answer shorter
// than the status byte, a byte that means nothing known, and "not supported" from
// a UPS that has answered before are all reads that failed. When
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
    char model[40];          // the mainboard and its revision: printable ASCII, quote and backslash escaped
    char firmware[16];       // the UPS's version; "" until it is read
};

struct UpsSink {
    void* context;
    void (*publish)(void* context, const UpsState* state, int64_t nowMs);
};

struct UpsWatch {
    int64_t periodMs;
    UpsState state;          // as the sinks were last told
    int next;                // the round's next read: the status, the counter, the version
    bool answered;           // a status read succeeded since the start
    int64_t nextRead;
    int64_t failingSinceMs;  // the first of the failed reads in a row; 0 while they succeed
    UpsSink sinks[2];
    int sinkCount;
};

// No state yet ("vemid is starting"), the first read due at `nowMs`.
void UpsWatchInit(UpsWatch* watch, int lowPercent, int periodSeconds, int64_t nowMs);
void UpsWatchAddSink(UpsWatch* watch, UpsSink sink);
// The mainboard, for the model NUT shows.
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
