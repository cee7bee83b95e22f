// The UPS handed to NUT: a definition file for NUT's dummy-ups driver (in mode
// dummy-loop it reads the file again and again), one "variable: value" a line:
//   ups.status        OL or OB, with CHRG or DISCHRG, and LB when discharging at
//                     or below the low-battery percent; a disabled UPS is
//                     "OL ALARM", with an ups.alarm that says there is no backup
//   battery.charge    while charging or discharging only
//   battery.charge.low, ups.mfr, ups.model (the mainboard), and the power-fail
//   counter as experimental.dalv.power_failures
// A value no longer published is written empty: dummy-ups keeps a variable that
// the file merely leaves out.
//
// The file stands from the start to the stop, so that NUT's driver never loses its
// source (dummy-ups exits for good when the file is gone). When vemid has no state
// to give (before the first read, after reads have failed for kUpsStaleAfterMs,
// after the stop, on a board without a UPS), ups.status is empty and ups.alarm
// says why: upsmon takes an empty status as a UPS it cannot reach, as it does
// data that its server calls stale. A shorter run of failed reads changes nothing
// NUT sees: the last state stands.
#ifndef VEMID_UPS_FILE_H
#define VEMID_UPS_FILE_H

#include <stdint.h>

#include "ReservedFile.h"
#include "VemiReaders.h"

const int64_t kUpsStaleAfterMs = 10000; // failed or unknown reads, counted from the first
const int64_t kUpsRetryMs = 1000;       // a failed read is asked again this soon

enum UpsLine { kLineUnknown, kLineOnline, kLineOnBattery, kLineLowBattery, kLineNoBackup, kLineNoUps };

struct UpsFile {
    const char* path;
    int lowPercent;
    char mfr[20], model[40];  // from the mainboard, escaped: 8 characters, each at most 2
    ReservedFile file;
    bool open;                // the file is ours and stands
    UpsLine line;             // the state NUT is given; kLineUnknown: none
    int charge, counter;      //   and its charge and counter (-1: not published)
    int64_t failingSinceMs;   // the first of the failed reads in a row; 0 while they succeed
    unsigned writeFailures;   // in a row: the first is logged, then once a minute
    int64_t lastWriteLogMs;
    char written[512];        // what the file says
};

// Takes the file over before anything else is done: whatever an earlier run left
// is replaced by a file that claims no state. False, logged, when it cannot be.
bool UpsFileStart(UpsFile* file, const char* path, int lowPercent);

// The mainboard, for ups.mfr and ups.model.
void UpsFileSetBoard(UpsFile* file, const VemiMainboardInfo* board);

// One read of the UPS and what it means for the file; each change of state is one
// log line. The file is written again only when what it says changes. Returns
// when the next read is due: `periodMs` on, or kUpsRetryMs while reads fail.
int64_t UpsFileRound(UpsFile* file, VemiChannel* channel, int64_t nowMs, int64_t periodMs);

// vemid stops, or its start failed: the file stays and claims no state, saying why.
void UpsFileStop(UpsFile* file, const char* why);

#endif
